#pragma once

// What the scenarios of StudioProgramQuitProbe share across its files: how a scenario brings
// its windows and how it quits, and the helpers that find the program's documents and windows.

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class PlmWorkDocument;
class StudioWindowController;

namespace QuitProbe {

// A line of the report on the standard output, sent at once.
void say(const QString& line);
// A command of the main menu, as its item is chosen.
void trigger(const char* command);

QList<PlmWorkDocument*> workDocuments();
StudioWindowController* studioWindowOf(PlmWorkDocument* work);
bool studioShown(StudioWindowController* studio);
// The work document made by a menu command: the last one, without a file.
PlmWorkDocument* newWorkDocument();

// Nothing when reached, else what did not come.
QString missingUnless(bool reached, const char* what);
// A « Nouveau document » given a variable, which has no file to go to.
QString untitledDraftGivenAVariable();

// How a scenario ends the program: what the report says, and the deed.
struct Quit {
    const char* how;
    std::function<void()> act;
    // Once the application object is gone, before the process exits.
    std::function<void()> afterTheApplication = {};
};

extern const Quit byTheMenu;
extern const Quit byEndingTheLoop;

// What a scenario brings on screen once the program shows what the command line opened, and
// how it then quits. `bring` names what did not come, or gives nothing. `beforeLaunch` runs
// before the program starts, with the scenario's name. `launched`, when given, says when the
// launch is over beyond the first window of each kind (files handed over are read in turn).
struct Scenario {
    std::function<QString()> bring;
    Quit quit = byTheMenu;
    std::function<void(const QString&)> beforeLaunch = {};
    std::function<bool()> launched = {};
};

// A window torn down while one of its fields holds the focus, beside other works
// (StudioProgramQuitProbeTeardown.cpp).
QHash<QString, Scenario> teardownScenarios();

} // namespace QuitProbe
