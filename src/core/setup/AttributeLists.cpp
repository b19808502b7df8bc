#include "setup/AttributeLists.h"

#include <QFile>

#include <initializer_list>

namespace vimo {
namespace {

QByteArray Join(std::initializer_list<QByteArray> entries)
{
    QByteArray list;
    for (const QByteArray& entry : entries) {
        list += entry;
        list += '\0';
    }
    list += '\0';
    return list;
}

} // namespace

QByteArray CreationList(const QString& path)
{
    return Join({ "CREATE_DB=\"" + QFile::encodeName(path) + "\" General" });
}

QByteArray RepairList(const QString& path)
{
    return Join({ "REPAIR_DB=" + QFile::encodeName(path) });
}

QByteArray RegistrationList(const QString& path)
{
    return Join({ "DSN=VIMO", "Description=" + QString::fromUtf16(DataSourceDescription).toUtf8(),
        "DBQ=" + QFile::encodeName(path) });
}

QByteArray PathList(const QString& path)
{
    return Join({ "DSN=VIMO", "DBQ=" + QFile::encodeName(path) });
}

QString FirstEntry(const QByteArray& list)
{
    const qsizetype end = list.indexOf('\0');
    return QString::fromLocal8Bit(end < 0 ? list : list.left(end));
}

} // namespace vimo
