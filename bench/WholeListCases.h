#pragma once

#include <QString>
#include <memory>

namespace tzglob {
class tzGlobal;
}

namespace tzsndmsg::bench {

class Runner;
struct StoreSummary;

// Whole lists for a host or a script: the typical inbox and a search with every row's To/CC,
// through the library's calls and as whole processes of the host program, against one bare
// statement that returns the same rows and cells (the names grouped by the database).
void addWholeListCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services,
                       const StoreSummary& summary, const QString& databaseUrl,
                       const QString& dataFolder);

} // namespace tzsndmsg::bench
