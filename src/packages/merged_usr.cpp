#include "packages/merged_usr.h"

#include "common/file_name_codec.h"

#include <filesystem>
#include <system_error>

MergedUsr::MergedUsr(const QString& root)
{
    for (const char* name : {"bin", "sbin", "lib", "lib32", "lib64", "libx32"}) {
        std::error_code error;
        const std::filesystem::path link = std::filesystem::path(EncodeFileName(root).toStdString()) / name;
        if (!std::filesystem::is_symlink(link, error))
            continue;
        // "usr/bin" or "/usr/bin": an absolute target is read inside the root.
        std::string target = std::filesystem::read_symlink(link, error).lexically_normal().string();
        if (error)
            continue;
        while (!target.empty() && target.front() == '/')
            target.erase(0, 1);
        if (!target.starts_with("usr/") || target.size() == 4)
            continue;
        if (target.back() == '/')
            target.pop_back();
        m_links.emplace_back(QByteArray("/") + name, QByteArray("/") + QByteArray::fromStdString(target));
    }
}

QByteArray MergedUsr::canonical(QByteArrayView path) const
{
    for (const auto& [link, target] : m_links) {
        if (path.startsWith(link) && (path.size() == link.size() || path[link.size()] == '/'))
            return QByteArray(target).append(path.sliced(link.size()));
    }
    return path.toByteArray();
}
