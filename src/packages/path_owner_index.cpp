#include "packages/path_owner_index.h"

#include <algorithm>

void PathOwnerIndex::add(const QByteArray& path, std::uint32_t package)
{
    auto found = m_paths.find(path);
    if (found == m_paths.end()) {
        m_paths.insert(path, package);
        return;
    }
    if (!(*found & kShared)) {
        if (*found == package)
            return;
        m_shared.push_back({*found, package});
        *found = kShared | std::uint32_t(m_shared.size() - 1);
        return;
    }
    std::vector<std::uint32_t>& shared = m_shared[*found & ~kShared];
    if (std::find(shared.begin(), shared.end(), package) == shared.end())
        shared.push_back(package);
}

std::vector<std::uint32_t> PathOwnerIndex::owners(const QByteArray& path) const
{
    const auto found = m_paths.constFind(path);
    if (found == m_paths.constEnd())
        return {};
    if (*found & kShared)
        return m_shared[*found & ~kShared];
    return {*found};
}
