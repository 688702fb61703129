#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// A column's value as the database holds it: null, a number (an integer
// column of any width), or bytes (a text's or a blob's, as stored).
struct StoredValue {
    bool null = true;
    qint64 number = 0;
    QByteArrayView bytes;
};
