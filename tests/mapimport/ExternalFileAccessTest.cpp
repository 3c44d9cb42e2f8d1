#include "mapimport/ExternalFileAccess.h"
#include "basemaps/LegacyPelmoraLayout.h"
#include "platform/Bookmark.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "support/FilePermissionScope.h"
#include "support/PelmoraTestFiles.h"
#include "support/TestFiles.h"
#include "support/TableReaderTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace PelmoraTestFiles;

namespace {

TEST(PelmoraLayoutTest, CountsObjectsAndNamesEachFault)
{
    EXPECT_EQ(LegacyPelmoraLayout::countObjects(layoutFile(2, 1, 4)), 7);
    const auto fault = [](const QByteArray& bytes) { return errorOf([&] { LegacyPelmoraLayout::countObjects(bytes); }); };
    EXPECT_EQ(fault(layoutFile(1, 0, 0) + "x"), QStringLiteral("Fin d’habillage non qualifiée."));
    EXPECT_EQ(fault(layoutFile(1, 0, 0, 2)), QStringLiteral("Sommets d’habillage invalides."));
    QByteArray cut = layoutFile(1, 0, 0);
    EXPECT_EQ(fault(cut.left(cut.size() - 1)), QStringLiteral("Objet d’habillage tronqué."));
    QByteArray noLength(24, '\0');
    putLong(noLength, 0);
    EXPECT_EQ(fault(noLength), QStringLiteral("Bloc d’habillage historique invalide."));
    QByteArray shortBlock(24, '\0');
    putLong(shortBlock, 2);
    shortBlock += "\x00\x55";
    putLong(shortBlock, 1);
    shortBlock += "\x80";
    EXPECT_EQ(fault(shortBlock), QStringLiteral("Variante d’habillage non qualifiée."));
    QByteArray literalPast(24, '\0');
    putLong(literalPast, 2);
    literalPast += "\x05\x55";
    EXPECT_EQ(fault(literalPast), QStringLiteral("Bloc d’habillage tronqué."));
    EXPECT_EQ(errorOf([] { LegacyPelmoraLayout::readWord(3, QByteArray(4, '\0')); }),
              QStringLiteral("Habillage historique tronqué."));
}

class PelmoraCompanionsTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        writeBytes(dir.filePath(name), bytes);
        return dir.filePath(name);
    }
    // Counts the folder panels shown and answers them with `answer`.
    DialogHooks::Hooks panel(std::optional<QStringList> answer)
    {
        DialogHooks::Hooks hooks;
        hooks.openPanel = [this, answer](const DialogHooks::OpenPanelRequest& request) {
            ++panels;
            lastTitle = request.title;
            return answer;
        };
        return hooks;
    }
    QStringList sourceNames(const PlmImportResult& result)
    {
        QStringList names;
        for (const PlmSource& s : result.map.sources.value_or(QList<PlmSource>()))
            names << s.name;
        return names;
    }
    UserDefaults::TemporaryScope defaults;
    QTemporaryDir dir;
    int panels = 0;
    QString lastTitle;
};

TEST_F(PelmoraCompanionsTest, BaseMapAloneGetsNoNoteAndNoPanel)
{
    DialogHooks::ScopedHooks hooks(panel(std::nullopt));
    const PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(write("FRANCE.DEP", compactMap(1, 0, 0)));
    EXPECT_EQ(panels, 0);
    EXPECT_EQ(result.map.entities.size(), 1);
    for (const QString& key : result.map.metadata.keys())
        EXPECT_FALSE(key == "legacy.table" || key == "legacy.access" || key == "legacy.digitization") << key.toStdString();
    EXPECT_EQ(sourceNames(result), QStringList{"FRANCE.DEP"});
}

TEST_F(PelmoraCompanionsTest, CompanionsAreDescribedAndKeptInCandidateOrder)
{
    DialogHooks::ScopedHooks hooks(panel(std::nullopt));
    QList<TableVariable> variables = {{"A", {}}, {"B", {}}, {"C", {{0, 1}}}};
    QList<QByteArray> labels;
    for (int i = 0; i < 12; ++i)
        labels << "R" + QByteArray::number(i);
    const QByteArray tab = table(variables, labels);
    write("FRANCE.tab", tab);
    write("FRANCE.num", compactMap(30, 5, 5));
    write("FRANCE.hab", layoutFile(1, 1, 2));
    const PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(write("FRANCE.DEP", compactMap(1, 0, 0)));
    const auto& m = result.map.metadata;
    EXPECT_EQ(m.value("legacy.table"), QStringLiteral("Tableau trouvé : 3 variables, 12 lignes"));
    EXPECT_EQ(m.value("legacy.digitization"),
              QStringLiteral("Numérisation trouvée : 40 géométries vectorielles reconnues, original conservé"));
    EXPECT_EQ(m.value("legacy.digitization.variant"), QStringLiteral("compact-v1"));
    EXPECT_EQ(m.value("legacy.layout"), QStringLiteral("Habillage trouvé : 4 objets vectoriels reconnus ; mise en forme "
                                                       "non interprétée, original conservé"));
    EXPECT_EQ(m.value("legacy.layout.recordCount"), QStringLiteral("4"));
    EXPECT_EQ(result.map.entities.size(), 1); // the digitization's geometry is not merged
    EXPECT_EQ(sourceNames(result), (QStringList{"FRANCE.DEP", "FRANCE.tab", "FRANCE.num", "FRANCE.hab"}));
    EXPECT_EQ(result.map.sources->at(1).data, tab);
    EXPECT_EQ(panels, 0);
}

TEST_F(PelmoraCompanionsTest, CompanionsThatDoNotReadOnlyChangeTheNotes)
{
    DialogHooks::ScopedHooks hooks(panel(std::nullopt));
    write("a.tab", "pas un tableau");
    write("a.num", "pas un fond");
    write("a.hab", "pas un habillage");
    const PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(write("a.dep", compactMap(0, 1, 0)));
    const auto& m = result.map.metadata;
    EXPECT_EQ(m.value("legacy.table"), QStringLiteral("Tableau trouvé : variante non qualifiée, original conservé"));
    EXPECT_EQ(m.value("legacy.digitization"),
              QStringLiteral("Numérisation trouvée : informations originales conservées, structure non interprétée"));
    EXPECT_EQ(m.value("legacy.layout"),
              QStringLiteral("Habillage trouvé : fichier conservé, structure binaire non encore interprétée"));
    EXPECT_EQ(sourceNames(result).size(), 4);
}

TEST_F(PelmoraCompanionsTest, ChosenDigitizationNotesItselfAndIsNotItsOwnCompanion)
{
    DialogHooks::ScopedHooks hooks(panel(std::nullopt));
    const PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(write("France.num", compactMap(2, 0, 1)));
    EXPECT_EQ(result.map.metadata.value("legacy.digitization"),
              QStringLiteral("Numérisation trouvée : 3 géométries vectorielles reconnues, original conservé"));
    EXPECT_EQ(sourceNames(result), QStringList{"France.num"});
    EXPECT_FALSE(ExternalFileAccess::candidates(dir.filePath("France.num"), compactMap(0, 0, 0))
                     .contains(dir.filePath("France.num")));
}

TEST_F(PelmoraCompanionsTest, HeaderNamesOneMoreDigitization)
{
    const QByteArray map = compactHeader(0, 0, 0, "ANCIEN.NUM");
    const QStringList list = ExternalFileAccess::candidates(dir.filePath("x.dep"), map);
    ASSERT_EQ(list.size(), 7);
    EXPECT_EQ(list.last(), dir.filePath("ANCIEN.NUM"));
    EXPECT_EQ(ExternalFileAccess::candidates(dir.filePath("x.dep"), compactHeader(0, 0, 0, "../b.num")).size(), 6);
    EXPECT_TRUE(ExternalFileAccess::candidates(dir.filePath("x.txt"), "texte").isEmpty());
}

TEST_F(PelmoraCompanionsTest, UnreadableCompanionIsNamedAfterOneFolderRequest)
{
    FilePermissionScope permissions;
    ASSERT_TRUE(permissions.holds());
    DialogHooks::ScopedHooks hooks(panel(std::nullopt));
    const QString tab = write("b.tab", table({{"A", {}}}, {"R"}));
    QFile::setPermissions(tab, QFileDevice::Permissions());
    const PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(write("b.dep", compactMap(1, 0, 0)));
    EXPECT_EQ(panels, 1);
    EXPECT_EQ(lastTitle, QStringLiteral("Lire les fichiers historiques associés"));
    EXPECT_EQ(result.map.metadata.value("legacy.access"),
              QStringLiteral("Fond importé ; fichiers associés inaccessibles : b.tab"));
}

TEST_F(PelmoraCompanionsTest, UnlistableFolderAsksOnceAndRemembersTheAllowedFolder)
{
    FilePermissionScope permissions;
    ASSERT_TRUE(permissions.holds());
    const QString path = write("deep/inner/c.dep", compactMap(1, 0, 0));
    const QString inner = QFileInfo(path).absolutePath();
    QFile::setPermissions(inner, QFileDevice::ExeOwner | QFileDevice::ExeUser);
    {
        DialogHooks::ScopedHooks hooks(panel(std::nullopt));
        const PlmImportResult alone = ExternalFileAccess::importWithRelatedFiles(path);
        EXPECT_EQ(panels, 1);
        EXPECT_EQ(alone.map.metadata.value("legacy.access"),
                  QStringLiteral("Fond importé seul ; accès au dossier associé non autorisé."));
        EXPECT_TRUE(UserDefaults::value(ExternalFileAccess::bookmarksKey).isNull());
    }
    {
        // A sibling folder does not contain the file: refused, nothing stored.
        QDir().mkpath(dir.filePath("sibling"));
        DialogHooks::ScopedHooks hooks(panel(QStringList{dir.filePath("sibling")}));
        ExternalFileAccess::importWithRelatedFiles(path);
        EXPECT_TRUE(UserDefaults::value(ExternalFileAccess::bookmarksKey).isNull());
    }
    {
        // A folder two levels above covers it, and is remembered.
        DialogHooks::ScopedHooks hooks(panel(QStringList{dir.filePath("deep")}));
        const PlmImportResult allowed = ExternalFileAccess::importWithRelatedFiles(path);
        EXPECT_FALSE(allowed.map.metadata.contains("legacy.access"));
        const QVariantList stored = UserDefaults::value(ExternalFileAccess::bookmarksKey).toList();
        ASSERT_EQ(stored.size(), 1);
        EXPECT_EQ(Bookmark::resolve(stored.first().toByteArray()), QDir::cleanPath(dir.filePath("deep")));
    }
    panels = 0;
    {
        // The bookmark opens the folder: no panel any more.
        DialogHooks::ScopedHooks hooks(panel(std::nullopt));
        const PlmImportResult again = ExternalFileAccess::importWithRelatedFiles(path);
        EXPECT_EQ(panels, 0);
        EXPECT_FALSE(again.map.metadata.contains("legacy.access"));
    }
    QFile::setPermissions(inner, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(PelmoraCompanionsTest, OtherFilesImportWithoutCompanions)
{
    DialogHooks::ScopedHooks hooks(panel(std::nullopt));
    const QString json = write("z.geojson", R"({"type":"Point","coordinates":[1,2]})");
    write("z.tab", "x");
    const PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(json);
    EXPECT_EQ(sourceNames(result), QStringList{"z.geojson"});
    EXPECT_EQ(panels, 0);
    EXPECT_FALSE(errorOf([&] { ExternalFileAccess::importWithRelatedFiles(dir.filePath("absent.dep")); }).isEmpty());
}

} // namespace
