#pragma once

#include <QString>

#include <optional>

// A package that owns a path on disk: the version is none where the status
// file does not record the package (a diverting package since removed).
struct PackageOwner {
    QString name;
    QString architecture;
    std::optional<QString> version;

    bool operator==(const PackageOwner&) const = default;
};
