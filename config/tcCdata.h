#pragma once
// Text placed inside a CDATA section of a request body.

#include <QString>

// A CDATA section ends at the first "]]>", so a value holding one would close it early
// and the rest would be read as markup. Splitting the section around the ">" keeps the
// text exactly as it was for any XML reader.
inline QString cdataSafe(QString text)
{
    return text.replace(QLatin1String("]]>"), QLatin1String("]]]]><![CDATA[>"));
}
