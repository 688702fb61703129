#pragma once

#include <algorithm>
#include <vector>

class TIBQuery;

// Links a master query to the queries that follow it: whenever the master
// opens or moves to another row, every open follower is run again.
class TDataSource {
public:
    explicit TDataSource(TIBQuery& dataSet);

    TIBQuery& dataSet() const { return m_dataSet; }
    void addFollower(TIBQuery* query) { m_followers.push_back(query); }
    void removeFollower(TIBQuery* query)
    {
        m_followers.erase(std::remove(m_followers.begin(), m_followers.end(), query), m_followers.end());
    }
    void dataSetChanged();

private:
    TIBQuery& m_dataSet;
    std::vector<TIBQuery*> m_followers;
};
