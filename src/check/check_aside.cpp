#include "check/check_aside.h"

#include "common/exception.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "storage/file_table_indexes.h"

CheckAside::CheckAside(const QString& databaseName, std::optional<Statement> baseline)
    : m_baseline(std::async(std::launch::async, [this, databaseName, baseline = std::move(baseline)] {
          // Failures are dropped here rather than shown: see the class.
          std::optional<QList<CheckRow>> rows;
          bool swept = false;
          try {
              TDM1 own;
              ConnectDM1(own, databaseName);
              if (baseline) {
                  const QStringList indexes = FileTableIndexes(own.IBQuery1);
                  if (!indexes.isEmpty())
                      DropIndexes(own.IBDatabase1, indexes);
              }
              CommitAtEnd(own, [&] {
                  own.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
                  own.IBQuery1.close();
                  swept = true;
                  m_swept.set_value();
                  if (baseline)
                      rows = ReadCheckRows(own.IBQuery1, *baseline, [](qint64) {});
                  return 0;
              });
          } catch (const Exception&) {
              rows.reset();
          } catch (...) {
              if (!swept)
                  m_swept.set_value();
              throw;
          }
          if (!swept)
              m_swept.set_value();
          return rows;
      }))
{
}

CheckAside::~CheckAside()
{
    if (m_baseline.valid())
        m_baseline.wait();
}

void CheckAside::waitForSweep()
{
    m_sweptFuture.wait();
}

std::optional<QList<CheckRow>> CheckAside::baseline()
{
    return m_baseline.get();
}
