#include "bits/bit_errors.h"
#include "cli/exit_status.h"
#include "cli/sum_command.h"

#include "bits_test_support.h"

#include <gtest/gtest.h>

TEST(SumCommand, PrintsBothChecksumsAndGoesOnAfterAnError)
{
    TestFiles files;
    const QString abc = files.write("abc");
    const QString missing = files.path(QStringLiteral("missing"));
    const QString abca = files.write("abca");
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    EXPECT_EQ(runSum({abc, missing, abca}, out, err), kExitFailure);
    EXPECT_EQ(outText, QStringLiteral("4589 12994182 %1 ").arg(QLatin1StringView("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad")) + abc
                           + QStringLiteral("\n12029 -2033826170 %1 ").arg(QLatin1StringView("5c3f67b7fa84dfbe1118387cad14793929845a5bc7c0080c4d8309d37baa68d0")) + abca
                           + QStringLiteral("\n"));
    EXPECT_EQ(errText, kFileInitErrorText + missing + QStringLiteral("\n"));
}

TEST(SumCommand, SucceedsWhenEveryFileIsRead)
{
    TestFiles files;
    const QString empty = files.write({});
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    EXPECT_EQ(runSum({empty}, out, err), kExitSuccess);
    EXPECT_EQ(outText, QStringLiteral("0 0 e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 ") + empty + QStringLiteral("\n"));
    EXPECT_TRUE(errText.isEmpty());
}
