#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <cstdint>
#include <vector>

// Which packages, by their index in the package list, list each path. Most
// paths have one package, so one is kept in the table itself and only the
// shared ones (directories, Multi-Arch: same files) have a list of their own.
class PathOwnerIndex {
public:
    void reserve(qsizetype paths) { m_paths.reserve(paths); }
    void add(const QByteArray& path, std::uint32_t package);
    std::vector<std::uint32_t> owners(const QByteArray& path) const;
    qsizetype size() const { return m_paths.size(); }

private:
    static constexpr std::uint32_t kShared = 0x80000000u;
    // A package's index, or kShared plus the index of a list in m_shared.
    QHash<QByteArray, std::uint32_t> m_paths;
    std::vector<std::vector<std::uint32_t>> m_shared;
};
