#include "testmain.h"
#include "roster/VornFileSystem.h"
#include "roster/ui/VornDirView.h"
#include "roster/ui/VornDriveView.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString &path, const QByteArray &content = "x")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

QStringList names(const QList<QFileInfo> &files)
{
    QStringList result;
    for (const QFileInfo &fi : files)
        result << fi.fileName();
    return result;
}

QStringList listed(const TVornDirView &view)
{
    QStringList result;
    for (int row = 0; row < view.FileModel()->FileCount(); ++row)
        result << view.FileModel()->FileName(row);
    return result;
}

} // namespace

class TestVornFolders : public QObject
{
    Q_OBJECT

    QTemporaryDir FTemp;
    QString FRoot;   // ends in '/'

private slots:
    void initTestCase()
    {
        QVERIFY(FTemp.isValid());
        FRoot = WithTrailingSeparator(QDir(FTemp.path()).canonicalPath());
        QDir d(FRoot);
        for (const char *dir : {"Units/Alpha/Rosters", "Units/Bravo", "Units/Charlie", "Empty", ".hidden/inner", "files.csv"})
            QVERIFY(d.mkpath(QString::fromLatin1(dir)));
        touch(FRoot + "Units/Charlie/only-a-file.txt");
        touch(FRoot + "a.xls", "12345");
        touch(FRoot + "B.XLS");
        touch(FRoot + "c.Csv");
        touch(FRoot + "d.txt");
        touch(FRoot + "e.doc");
        touch(FRoot + ".secret.csv");
        touch(FRoot + "noext");
    }

    void maskNormalisation_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("page mask unchanged") << "*.xls;*.csv;*.txt;*.mdb;*.dbf" << "*.xls;*.csv;*.txt;*.mdb;*.dbf";
        QTest::newRow("comma and blank") << "*.XLS, *.CSV" << "*.xls;*.csv";
        QTest::newRow("empty") << "" << "*.*";
        QTest::newRow("blank only") << "   " << "*.*";
        QTest::newRow("runs collapse") << "*.a;;;*.b ,, *.c" << "*.a;*.b;*.c";
        QTest::newRow("trimmed first") << "  *.Dbf  " << "*.dbf";
    }
    void maskNormalisation()
    {
        QFETCH(QString, mask);
        QFETCH(QString, normalised);
        QCOMPARE(NormalizeMask(mask), normalised);
    }

    void patternsDropEmptyItems()
    {
        QCOMPARE(MaskPatterns(";*.a;*.b"), QStringList({"*.a", "*.b"}));
        QVERIFY(MatchesPattern("noext", MaskPatterns("*.*").first()));
        QVERIFY(MatchesPattern("ROSTER.XLS", "*.xls"));
        QVERIFY(!MatchesPattern("roster.xlsx", "*.xls"));
    }

    void filesMatchingMasks()
    {
        // Case ignored; folders (even one named like a roster) and hidden files never listed.
        QCOMPARE(names(ListMatchingFiles(FRoot, "*.xls;*.csv")), QStringList({"a.xls", "B.XLS", "c.Csv"}));
        // Pattern by pattern, in the mask's order.
        QCOMPARE(names(ListMatchingFiles(FRoot, "*.csv;*.xls")), QStringList({"c.Csv", "a.xls", "B.XLS"}));
        // A file matched by two patterns appears once.
        QCOMPARE(names(ListMatchingFiles(FRoot, "*.xls;a.*;*.XLS")), QStringList({"a.xls", "B.XLS"}));
        // Every file, those without an extension included.
        const QStringList all = names(ListMatchingFiles(FRoot, "*.*"));
        QCOMPARE(all.size(), 6);
        QVERIFY(all.contains("noext"));
        QVERIFY(!all.contains(".secret.csv"));
        QVERIFY(ListMatchingFiles(FRoot + "Empty/", "*.*").isEmpty());
        QVERIFY(ListMatchingFiles(FRoot + "does-not-exist/", "*.*").isEmpty());
        QVERIFY(ListMatchingFiles(QString(), "*.*").isEmpty());
    }

    void typeNames()
    {
        QCOMPARE(DefaultFileTypeName("report.xls"), QString("XLS File"));
        QCOMPARE(DefaultFileTypeName("unit.roster.tar"), QString("ROSTER.TAR File"));
        QCOMPARE(DefaultFileTypeName("README"), QString("File"));
        // Unknown to the type database: the extension rule.
        QCOMPARE(FileTypeName(QFileInfo(FRoot + "x.qqzv")), QString("QQZV File"));
        QVERIFY(!FileTypeName(QFileInfo(FRoot + "c.Csv")).isEmpty());
    }

    void rootsOfThisMachine()
    {
        const TVornRoots roots = ReadRoots();
        QVERIFY(!roots.isEmpty());
        QCOMPARE(roots.first().Path, QString("/"));
        QCOMPARE(roots.first().Kind, rkFileSystem);
        QStringList paths;
        for (const TVornRoot &r : roots) {
            QVERIFY2(r.Path.endsWith('/'), qPrintable(r.Path));
            QVERIFY(!r.DisplayName.isEmpty());
            QVERIFY2(!paths.contains(r.Path), qPrintable(r.Path));
            QVERIFY(QFileInfo(r.Path).isDir());
            paths << r.Path;
        }
        const QString home = WithTrailingSeparator(QDir::homePath());
        if (home != "/" && QFileInfo(home).isDir())
            QVERIFY(paths.contains(home));
    }

    void folderTreeReadsLazily()
    {
        TVornFolderModel model;
        model.SetRoots({TVornRoot{FRoot, rkFixed, "Test"}});
        const QModelIndex top = model.index(0, 0);
        QVERIFY(!model.IsScanned(top));
        QCOMPARE(model.rowCount(top), 0);
        QVERIFY(model.hasChildren(top));   // assumed until opened
        QVERIFY(model.canFetchMore(top));
        model.fetchMore(top);
        QStringList children;
        for (int r = 0; r < model.rowCount(top); ++r)
            children << model.data(model.index(r, 0, top), Qt::DisplayRole).toString();
        QCOMPARE(children, QStringList({"Empty", "files.csv", "Units"}));   // no hidden folder
        const QModelIndex units = model.index(2, 0, top);
        QVERIFY(!model.IsScanned(units));
        QVERIFY(model.hasChildren(units));
        QVERIFY(!model.hasChildren(model.index(0, 0, top)));   // Empty: no open button
        QCOMPARE(model.PathOf(units), FRoot + "Units/");
    }

    void folderWithOnlyFilesLosesButton()
    {
        TVornFolderModel model;
        model.SetRoots({TVornRoot{FRoot + "Units/Charlie/", rkRemovable, "Stick"}});
        const QModelIndex top = model.index(0, 0);
        QVERIFY(model.hasChildren(top));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.fetchMore(top);
        QVERIFY(!model.hasChildren(top));
        QCOMPARE(changed.size(), 1);
        QVERIFY(!model.canFetchMore(top));
    }

    void findingPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("madeSince");   // path's first folder made after the tree was read
        QTest::newRow("existing") << "Units/Alpha/Rosters" << "Units/Alpha/Rosters/" << "";
        QTest::newRow("trailing separator") << "Units/Alpha/" << "Units/Alpha/" << "";
        QTest::newRow("missing leaf") << "Units/Missing" << "Units/" << "";
        // A missing middle part stops the walk: Rosters under Units/Missing is not Alpha's.
        QTest::newRow("missing middle") << "Units/Missing/Rosters" << "Units/" << "";
        QTest::newRow("file path") << "Units/Charlie/only-a-file.txt" << "Units/Charlie/" << "";
        QTest::newRow("other case") << "units/ALPHA" << "Units/Alpha/" << "";
        QTest::newRow("dot parts") << "Units/Bravo/../Alpha/./Rosters" << "Units/Alpha/Rosters/" << "";
        QTest::newRow("hidden folder not offered") << ".hidden/inner" << "" << "";
        QTest::newRow("folder made since") << "Units/Late" << "Units/Late/" << "Units/Late";
        QTest::newRow("folders made since, nested") << "Units/Alpha/Late/Inner" << "Units/Alpha/Late/Inner/"
                                                    << "Units/Alpha/Late";
        QTest::newRow("hidden folder made since") << "Units/.late" << "Units/" << "Units/.late";
    }
    void findingPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, found);
        QFETCH(QString, madeSince);
        const TVornRoots roots{TVornRoot{"/", rkFileSystem, "File System (/)"}, TVornRoot{FRoot, rkFixed, "Test"}};
        TVornFolderModel model;
        model.SetRoots(roots);
        auto removeMade = qScopeGuard([&] {
            if (!madeSince.isEmpty())
                QDir(FRoot + madeSince).removeRecursively();
        });
        if (!madeSince.isEmpty()) {
            model.FindPath(FRoot + path);   // reads the folders on the way
            QVERIFY(QDir().mkpath(FRoot + path));
        }
        const QModelIndex index = model.FindPath(FRoot + path);
        QVERIFY(index.isValid());
        QCOMPARE(model.PathOf(index), FRoot + found);
        TVornFolderModel fresh;   // a folder taken in late sits where a first reading puts it
        fresh.SetRoots(roots);
        QCOMPARE(index.row(), fresh.FindPath(FRoot + path).row());
        // Found below the most specific root, not through '/'.
        QModelIndex top = index;
        while (top.parent().isValid())
            top = top.parent();
        QCOMPARE(top.row(), 1);
    }

    void pathUnderNoRoot()
    {
        TVornFolderModel model;
        model.SetRoots({TVornRoot{FRoot + "Units/", rkFixed, "Units"}});
        QVERIFY(!model.FindPath(FRoot + "Empty").isValid());
        QVERIFY(!model.FindPath("").isValid());
        QVERIFY(!model.FindPath("relative/path").isValid());
        // Looking up a path only reads the folders on its way.
        const QModelIndex alpha = model.FindPath(FRoot + "Units/Alpha");
        QVERIFY(model.IsScanned(alpha.parent()));
        QVERIFY(!model.IsScanned(alpha));
        QVERIFY(!model.IsScanned(model.FindPath(FRoot + "Units/Bravo")));
    }

    void treeDrivesTheList()
    {
        TVornDirView list;
        list.SetMask("*.xls;*.csv;*.txt");
        TVORNDriveView tree;
        tree.SetRootsProvider([this] { return TVornRoots{TVornRoot{FRoot, rkFixed, "Test"}}; });
        tree.SetActive(true);
        tree.SetDirView(&list);
        QSignalSpy treeChanged(&tree, &TVORNDriveView::OnChange);
        QSignalSpy listChanged(&list, &TVornDirView::OnChange);

        tree.SetDirectory(FRoot);
        QCOMPARE(tree.Directory(), FRoot);
        QCOMPARE(list.Directory(), FRoot);
        QCOMPARE(listed(list), QStringList({"a.xls", "B.XLS", "c.Csv", "d.txt"}));
        QVERIFY(treeChanged.size() >= 1);

        QVERIFY(list.SelectFile("B.XLS"));
        QCOMPARE(list.SelectedFileName(), QString("B.XLS"));
        // Another folder empties the list's selection and says so.
        listChanged.clear();
        tree.SetDirectory(FRoot + "Units/Charlie/");
        QCOMPARE(listed(list), QStringList({"only-a-file.txt"}));
        QCOMPARE(list.SelectedFileName(), QString());
        QVERIFY(listChanged.size() >= 1);

        // A path under no root leaves the selection alone.
        tree.SetDirectory("/definitely/not/under/the/test/root");
        QCOMPARE(tree.Directory(), FRoot + "Units/Charlie/");

        // Deactivating empties the tree.
        tree.SetActive(false);
        QCOMPARE(tree.Directory(), QString());
        QCOMPARE(tree.model()->rowCount(), 0);
        tree.SetActive(true);
        QCOMPARE(tree.model()->rowCount(), 1);
    }

    void openingANodeReadsIt()
    {
        TVORNDriveView tree;
        tree.SetRootsProvider([this] { return TVornRoots{TVornRoot{FRoot, rkFixed, "Test"}}; });
        tree.SetActive(true);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        const QModelIndex top = tree.model()->index(0, 0);
        QCOMPARE(tree.model()->rowCount(top), 0);
        tree.expand(top);
        QTRY_COMPARE(tree.model()->rowCount(top), 3);
    }

    void fileListState()
    {
        TVornDirView list;
        QCOMPARE(list.Mask(), QString("*.*"));
        QVERIFY(list.Active());
        list.SetDirectory(FRoot.chopped(1));          // separator added
        QCOMPARE(list.Directory(), FRoot);
        list.SetDirectory(FRoot + "no-such-folder");  // ignored
        QCOMPARE(list.Directory(), FRoot);
        QCOMPARE(list.FileModel()->FileCount(), 6);
        list.SetMask(" *.XLS ");
        QCOMPARE(list.Mask(), QString("*.xls"));
        QCOMPARE(listed(list), QStringList({"a.xls", "B.XLS"}));

        // Columns and their contents.
        const QAbstractItemModel *m = list.model();
        QCOMPARE(m->columnCount(), 4);
        QStringList titles;
        for (int c = 0; c < 4; ++c)
            titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(titles, QStringList({"Name", "Size", "Type", "Modified"}));
        QCOMPARE(m->data(m->index(0, 1)).toString(), QString("5"));
        QCOMPARE(m->data(m->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
        QVERIFY(!m->data(m->index(0, 2)).toString().isEmpty());
        QVERIFY(!m->data(m->index(0, 3)).toString().isEmpty());
        QVERIFY(list.columnWidth(0) >= 122);
        QCOMPARE(list.columnWidth(1), 96);

        list.SetActive(false);
        QCOMPARE(list.FileModel()->FileCount(), 0);
        list.SetActive(true);
        QCOMPARE(list.FileModel()->FileCount(), 2);
    }
};

CORVANE_TEST(TestVornFolders)
#include "tst_pagesfolders.moc"
