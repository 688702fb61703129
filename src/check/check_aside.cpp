#include "check/check_aside.h"

#include "common/exception.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "storage/file_table_indexes.h"

#include <utility>

CheckAside::CheckAside(const QString& databaseName, ReadBaseline baseline)
    : m_baseline(std::async(std::launch::async, [this, databaseName, baseline = std::move(baseline)] {
          // However the work ends, whoever waits for the sweep goes on.
          struct SweepEnds {
              std::promise<void>& swept;
              bool told = false;
              void tell()
              {
                  if (!std::exchange(told, true))
                      swept.set_value();
              }
              ~SweepEnds() { tell(); }
          } sweepEnds{m_swept};
          // Failures are dropped here rather than shown: see the class.
          try {
              TDM1 own;
              ConnectDM1(own, databaseName);
              if (baseline) {
                  const QStringList indexes = FileTableIndexes(own.IBQuery1);
                  if (!indexes.isEmpty())
                      DropIndexes(own.IBDatabase1, indexes);
              }
              return CommitAtEnd(own, [&]() -> std::optional<QList<CheckRow>> {
                  own.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
                  own.IBQuery1.close();
                  sweepEnds.tell();
                  if (!baseline)
                      return std::nullopt;
                  return baseline(own.IBQuery1);
              });
          } catch (const Exception&) {
              return std::optional<QList<CheckRow>>();
          }
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
