#include "storage/data_source.h"

#include "storage/ib_query.h"

TDataSource::TDataSource(TIBQuery& dataSet) : m_dataSet(dataSet)
{
    dataSet.setDataSourceShowingThis(this);
}

void TDataSource::dataSetChanged()
{
    for (TIBQuery* follower : m_followers)
        follower->masterChanged();
}
