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
    EXPECT_EQ(outText, QStringLiteral("4589 12994182 ") + abc + QStringLiteral("\n12029 -2033826170 ") + abca
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
    EXPECT_EQ(outText, QStringLiteral("0 0 ") + empty + QStringLiteral("\n"));
    EXPECT_TRUE(errText.isEmpty());
}
