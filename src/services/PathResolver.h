#pragma once

#include <QString>

namespace tzglob {

// Paths stored by the suite are Windows-style ("icons\FlagUsa.ico") and were written on a
// file system that ignores case. Turns "\" into "/", takes a relative path from base and
// matches each component without regard to case. Gives the path of the existing file or
// folder; when a component has no match, the path as far as it resolved followed by the
// rest as given (so the result does not exist).
QString resolvePath(const QString& base, const QString& windowsStylePath);

} // namespace tzglob
