#pragma once
#include <QAbstractItemModel>
#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAbstractFileIconProvider;

// File-system side of the folder tree and the file list of page 1: masks, the roots a
// user browses from, the lazily read folder tree and the file list, as item models.

// Trimmed; empty gives "*.*"; blanks and commas become ';', runs of ';' collapse; lower-cased.
QString NormalizeMask(const QString &mask);
// The patterns of a normalised mask, in order. "*.*" means every file (also names without
// a dot, as a user of that mask expects); empty items are dropped.
QStringList MaskPatterns(const QString &mask);
// Case-insensitive wildcard match of a file name against one pattern.
bool MatchesPattern(const QString &fileName, const QString &pattern);

// Plain files of dir matching the patterns: pattern by pattern (names in each search in
// name order), a name matched twice (ignoring case) listed once, hidden files and folders
// never. A folder that cannot be read gives an empty list.
QList<QFileInfo> ListMatchingFiles(const QString &dir, const QString &mask);

// 'report.xls' gives 'XLS File', 'a.tar.gz' 'TAR.GZ File', a name without a dot 'File'.
QString DefaultFileTypeName(const QString &fileName);
// The type description of the file's content type, or the default above when the type
// database knows nothing better.
QString FileTypeName(const QFileInfo &info);
// Local time in the user's short date and long time format (without a zone name).
QString FormatModified(const QDateTime &time);

// The path with exactly one trailing '/' ('/' stays '/'); empty stays empty.
QString WithTrailingSeparator(const QString &path);

enum TVornRootKind : quint8 { rkFileSystem, rkHome, rkFixed, rkRemovable, rkOptical, rkNetwork };

// One place to browse from: the file-system root, the home folder or a mounted volume.
struct TVornRoot
{
    QString Path;          // ends in '/'
    TVornRootKind Kind = rkFixed;
    QString DisplayName;
};
using TVornRoots = QList<TVornRoot>;

// '/', the home folder, then user-visible mounted volumes in path order.
TVornRoots ReadRoots();

// Tree of roots and folders. A folder's subfolders are read the first time it is opened
// (fetchMore) or a path is looked up through it, and never again.
class TVornFolderModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TVornFolderModel(QObject *parent = nullptr);
    ~TVornFolderModel() override;

    void SetRoots(const TVornRoots &roots);
    const TVornRoots &Roots() const { return FRoots; }
    void Clear();
    void SetIconProvider(const QAbstractFileIconProvider *provider) { FIcons = provider; }

    // Full path of the node ('/home/ann/Rosters/'); empty for an invalid index.
    QString PathOf(const QModelIndex &index) const;
    bool IsScanned(const QModelIndex &index) const;
    void Scan(const QModelIndex &index);
    // The node of the deepest existing folder on the way to path (a file path leads to its
    // folder); invalid when the path lies under no root.
    QModelIndex FindPath(const QString &path);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    struct TNode;
    TNode *NodeOf(const QModelIndex &index) const;
    QModelIndex IndexOf(TNode *node) const;
    QString FullPath(const TNode *node) const;
    TNode *AddFolderMadeSince(TNode *node, const QString &name);

    TVornRoots FRoots;
    std::vector<std::unique_ptr<TNode>> FTop;
    const QAbstractFileIconProvider *FIcons = nullptr;
};

// The files of one folder: Name, Size, Type, Modified. Type names are looked up when a row
// is first shown.
class TVornFileModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TVornFileModel(QObject *parent = nullptr);

    void SetFiles(const QList<QFileInfo> &files);
    void SetIconProvider(const QAbstractFileIconProvider *provider) { FIcons = provider; }
    QString FileName(int row) const;
    int FileCount() const { return int(FFiles.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<QFileInfo> FFiles;
    mutable QStringList FTypeNames;   // null string: not looked up yet
    const QAbstractFileIconProvider *FIcons = nullptr;
};
