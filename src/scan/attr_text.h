#pragma once

#include <QString>

// The three-character attribute text stored in atr: "1" or "0" for read-only
// (bit 1), hidden (bit 2), and whether the whole word is 32 or more.
QString AttrToText(qint32 attr);
