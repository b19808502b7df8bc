#pragma once

#include <QString>

namespace vimo {

class Store;

// vimo --group NAME[=MEMBER,...]: prints the group's members, or gives it exactly these
// members (none removes it). Answers on standard output, refusals on standard error; returns
// the exit status: 0, or 1 when the group was not shown or changed.
int RunGroupCommand(Store& store, const QString& argument);

} // namespace vimo
