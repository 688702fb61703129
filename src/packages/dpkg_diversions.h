#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// A path whose packaged file dpkg installs under another name: every package
// but the diverting one has its file at "to"; a local diversion, made by the
// administrator, has no package and diverts every package's file.
struct Diversion {
    QByteArray from;
    QByteArray to;
    std::optional<QString> package;
};

// The diversions recorded in file, none where there is no such file.
std::vector<Diversion> ReadDpkgDiversions(const QString& file);
