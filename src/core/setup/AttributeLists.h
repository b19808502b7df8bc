#pragma once

#include <QByteArray>
#include <QString>

// The attribute lists sent to the ODBC installer: entries "keyword=value", each ended by a NUL,
// the whole list ended by one more NUL. The path is taken in the file system's encoding.
namespace vimo {

inline constexpr char16_t DataSourceDescription[] = u"Vimo File";

// CREATE_DB="P" General
QByteArray CreationList(const QString& path);
// REPAIR_DB=P
QByteArray RepairList(const QString& path);
// DSN=VIMO, Description=Vimo File, DBQ=P
QByteArray RegistrationList(const QString& path);
// DSN=VIMO, DBQ=P
QByteArray PathList(const QString& path);

// The list's text up to its first NUL, as the alerts of a refused request show it.
QString FirstEntry(const QByteArray& list);

} // namespace vimo
