#include "scan/attr_text.h"

#include "scan/search_rec.h"

QString AttrToText(qint32 attr)
{
    QString text(3, u'0');
    if (attr & faReadOnly)
        text[0] = u'1';
    if (attr & faHidden)
        text[1] = u'1';
    // The whole word is compared, not the archive bit alone: any higher bit counts.
    if (attr >= 32)
        text[2] = u'1';
    return text;
}
