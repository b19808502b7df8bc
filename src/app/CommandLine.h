#pragma once

#include <QString>
#include <QStringList>

namespace vimo {

// True for an argument that is a switch and not a data file: anything that begins with "-",
// and the few "/" switches a shell may hand us ("/dde", "/p", ...). Any other argument that
// begins with "/" is an absolute path.
bool IsSwitch(const QString& argument);

// The data-file path of the command line: the first argument, the program's own name
// excluded, that is not a switch; the empty text when there is none.
QString DataFileArgument(const QStringList& arguments);

} // namespace vimo
