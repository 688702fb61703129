#include "common/program_signals.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Which of SIGINT, SIGTERM and SIGHUP are still the program's own after a
// process that installed its handlers first connects for the first time,
// through the storage layer or past it: bits 1, 2 and 4 of the exit status.
// With ignoreHangup, SIGHUP is ignored before the program installs its
// handlers, as nohup does, and bit 8 says it is still ignored.
[[noreturn]] void connectFirstTimeAndExit(bool throughStorage, bool reconnect, bool ignoreHangup = false)
{
    TempTree home;
    const QString file = home.path(QStringLiteral("file.gdb"));
    // Made by another process, so that this one's first connection loads the engine.
    QProcess isql;
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q")});
    isql.write("create database '" + QFile::encodeName(file) + "' user 'sysdba';\n");
    isql.closeWriteChannel();
    if (!isql.waitForFinished(60000) || isql.exitCode() != 0 || !QFileInfo::exists(file))
        _exit(100);

    if (ignoreHangup)
        std::signal(SIGHUP, SIG_IGN);
    InstallProgramSignals(false);
    if (throughStorage) {
        auto dm = std::make_unique<TDM1>();
        ConnectDM1(*dm, file);
        if (reconnect) {
            dm->finish();
            dm = std::make_unique<TDM1>();
            ConnectDM1(*dm, file);
        }
        dm->finish();
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), QStringLiteral("bare"));
        db.setDatabaseName(file);
        db.setUserName(QStringLiteral("sysdba"));
        if (!db.open())
            _exit(101);
    }
    int held = 0;
    for (int i = 0; i < 3; ++i)
        if (ProgramHandlesSignal(kSignals[i]))
            held |= 1 << i;
    struct sigaction hangup {};
    if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler == SIG_IGN)
        held |= 8;
    _exit(held);
}

// Each case in a fresh process of its own, where the engine has not been loaded yet.
class EngineSignalsDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(EngineSignalsDeathTest, TheEngineTakesSigintAndSigtermWhenItFirstConnects)
{
    // What the program guards against: past the storage layer, the engine's
    // own handlers stay and swallow the signals.
    EXPECT_EXIT(connectFirstTimeAndExit(false, false), ::testing::ExitedWithCode(4), "");
}

TEST_F(EngineSignalsDeathTest, TheProgramKeepsItsSignalsAfterItsFirstConnection)
{
    EXPECT_EXIT(connectFirstTimeAndExit(true, false), ::testing::ExitedWithCode(7), "");
}

TEST_F(EngineSignalsDeathTest, TheProgramKeepsItsSignalsAfterAReconnection)
{
    EXPECT_EXIT(connectFirstTimeAndExit(true, true), ::testing::ExitedWithCode(7), "");
}

TEST_F(EngineSignalsDeathTest, ASignalIgnoredAtTheStartStaysIgnored)
{
    EXPECT_EXIT(connectFirstTimeAndExit(true, true, true), ::testing::ExitedWithCode(15), "");
}

} // namespace
