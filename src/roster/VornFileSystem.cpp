#include "VornFileSystem.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QDirIterator>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>

QString NormalizeMask(const QString &mask)
{
    QString m = mask.trimmed();
    if (m.isEmpty())
        return QStringLiteral("*.*");
    m.replace(QLatin1Char(' '), QLatin1Char(';'));
    m.replace(QLatin1Char(','), QLatin1Char(';'));
    while (m.contains(QLatin1String(";;")))
        m.replace(QLatin1String(";;"), QLatin1String(";"));
    return m.toLower();
}

QStringList MaskPatterns(const QString &mask)
{
    QStringList result;
    for (const QString &p : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        result << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    return result;
}

bool MatchesPattern(const QString &fileName, const QString &pattern)
{
    const QRegularExpression re = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
    return re.match(fileName).hasMatch();
}

QList<QFileInfo> ListMatchingFiles(const QString &dir, const QString &mask)
{
    QList<QFileInfo> result;
    if (dir.isEmpty())
        return result;
    QDir d(dir);
    // Hidden entries are left out by not asking for QDir::Hidden.
    const QFileInfoList all =
        d.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QSet<QString> seen;
    for (const QString &pattern : MaskPatterns(NormalizeMask(mask))) {
        const QRegularExpression re = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
        for (const QFileInfo &fi : all) {
            const QString name = fi.fileName();
            if (!re.match(name).hasMatch())
                continue;
            const QString key = name.toLower();
            if (seen.contains(key))
                continue;
            seen.insert(key);
            result << fi;
        }
    }
    return result;
}

QString DefaultFileTypeName(const QString &fileName)
{
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return QStringLiteral("File");
    return (fileName.mid(dot + 1) + QLatin1Char(' ')).toUpper() + QStringLiteral("File");
}

QString FileTypeName(const QFileInfo &info)
{
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.comment().isEmpty())
        return DefaultFileTypeName(info.fileName());
    return type.comment();
}

QString FormatModified(const QDateTime &time)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    // The long format of many locales ends in a zone name, which a file list does not want.
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    const QDateTime local = time.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), timeFormat.trimmed());
}

QString WithTrailingSeparator(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

namespace {

bool IsUserVolume(const QStorageInfo &s, TVornRootKind &kind)
{
    static const QSet<QString> network = {"nfs", "nfs4", "cifs", "smbfs", "smb3", "fuse.sshfs",
                                          "sshfs", "davfs", "fuse.davfs2", "9p", "afs"};
    static const QSet<QString> optical = {"iso9660", "udf"};
    static const QSet<QString> pseudo = {
        "tmpfs", "devtmpfs", "proc", "sysfs", "cgroup", "cgroup2", "overlay", "squashfs",
        "autofs", "devpts", "mqueue", "debugfs", "tracefs", "securityfs", "pstore", "bpf",
        "configfs", "fusectl", "hugetlbfs", "binfmt_misc", "efivarfs", "ramfs", "nsfs",
        "fuse.portal", "fuse.gvfsd-fuse", "rpc_pipefs", "nfsd"};
    const QString fs = QString::fromLatin1(s.fileSystemType());
    const QString root = s.rootPath();
    if (!s.isValid() || !s.isReady() || root == QLatin1String("/") || pseudo.contains(fs))
        return false;
    if (!QFileInfo(root).isDir())
        return false;   // a bind-mounted file
    if (network.contains(fs)) {
        kind = rkNetwork;
        return true;
    }
    const bool userPlace = root.startsWith(QLatin1String("/media/")) ||
                           root.startsWith(QLatin1String("/mnt/")) ||
                           root.startsWith(QLatin1String("/run/media/"));
    if (!userPlace)
        return false;   // system partitions (/boot, /var, ...) are reached through '/'
    kind = optical.contains(fs) ? rkOptical
           : root.startsWith(QLatin1String("/mnt/")) ? rkFixed
                                                     : rkRemovable;
    return true;
}

QString WithoutTrailingSeparator(const QString &path)
{
    return path.size() > 1 && path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
}

} // namespace

TVornRoots ReadRoots()
{
    TVornRoots roots;
#ifdef Q_OS_WIN
    for (const QFileInfo &drive : QDir::drives()) {
        const QString path = WithTrailingSeparator(QDir::fromNativeSeparators(drive.absoluteFilePath()));
        const QStorageInfo s(path);
        const QString label = s.name().isEmpty() ? path : s.name();
        roots << TVornRoot{path, rkFixed, path.left(2) + QStringLiteral(" ") + label};
    }
    return roots;
#else
    roots << TVornRoot{QStringLiteral("/"), rkFileSystem, QStringLiteral("File System (/)")};
    const QString home = WithTrailingSeparator(QDir::cleanPath(QDir::homePath()));
    if (home != QLatin1String("/") && QFileInfo(home).isDir())
        roots << TVornRoot{home, rkHome, QStringLiteral("Home (%1)").arg(WithoutTrailingSeparator(home))};
    QList<TVornRoot> volumes;
    for (const QStorageInfo &s : QStorageInfo::mountedVolumes()) {
        TVornRootKind kind = rkFixed;
        if (!IsUserVolume(s, kind))
            continue;
        const QString path = WithTrailingSeparator(s.rootPath());
        if (path == home)
            continue;
        QString label = s.name();
        if (label.isEmpty())
            label = QFileInfo(WithoutTrailingSeparator(path)).fileName();
        volumes << TVornRoot{path, kind, QStringLiteral("%1 (%2)").arg(label, WithoutTrailingSeparator(path))};
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const TVornRoot &a, const TVornRoot &b) { return a.Path < b.Path; });
    for (const TVornRoot &v : volumes)
        if (std::none_of(roots.begin(), roots.end(), [&](const TVornRoot &r) { return r.Path == v.Path; }))
            roots << v;
    return roots;
#endif
}

// ---------------------------------------------------------------------------------------
// Folder tree

struct TVornFolderModel::TNode
{
    QString PathPart;     // root: its whole path; folder: name + '/'
    QString Caption;
    int RootIndex = 0;
    bool Scanned = false;
    bool HasButton = true;   // assumed to have subfolders until a scan says otherwise
    TNode *Parent = nullptr;
    int Row = 0;
    std::vector<std::unique_ptr<TNode>> Children;
};

namespace {

QDir::Filters FolderFilter()
{
    // No QDir::Hidden: hidden folders are not offered.
    return QDir::Dirs | QDir::NoDotAndDotDot;
}

bool HasSubfolders(const QString &path)
{
    QDirIterator it(path, FolderFilter());
    return it.hasNext();
}

} // namespace

TVornFolderModel::TVornFolderModel(QObject *parent) : QAbstractItemModel(parent) {}
TVornFolderModel::~TVornFolderModel() = default;

void TVornFolderModel::SetRoots(const TVornRoots &roots)
{
    beginResetModel();
    FRoots = roots;
    FTop.clear();
    for (int i = 0; i < roots.size(); ++i) {
        auto node = std::make_unique<TNode>();
        node->PathPart = WithTrailingSeparator(roots[i].Path);
        node->Caption = roots[i].DisplayName;
        node->RootIndex = i;
        node->Row = i;
        FTop.push_back(std::move(node));
    }
    endResetModel();
}

void TVornFolderModel::Clear()
{
    beginResetModel();
    FRoots.clear();
    FTop.clear();
    endResetModel();
}

TVornFolderModel::TNode *TVornFolderModel::NodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TNode *>(index.internalPointer()) : nullptr;
}

QModelIndex TVornFolderModel::IndexOf(TNode *node) const
{
    return node ? createIndex(node->Row, 0, node) : QModelIndex();
}

QString TVornFolderModel::FullPath(const TNode *node) const
{
    QString path;
    for (; node; node = node->Parent)
        path.prepend(node->PathPart);
    return path;
}

QString TVornFolderModel::PathOf(const QModelIndex &index) const
{
    return FullPath(NodeOf(index));
}

bool TVornFolderModel::IsScanned(const QModelIndex &index) const
{
    const TNode *node = NodeOf(index);
    return node && node->Scanned;
}

void TVornFolderModel::Scan(const QModelIndex &index)
{
    TNode *node = NodeOf(index);
    if (!node || node->Scanned)
        return;
    node->Scanned = true;
    const QString path = FullPath(node);
    const QFileInfoList dirs =
        QDir(path).entryInfoList(FolderFilter(), QDir::Name | QDir::IgnoreCase | QDir::DirsFirst);
    if (!dirs.isEmpty()) {
        beginInsertRows(index, 0, int(dirs.size()) - 1);
        int row = 0;
        for (const QFileInfo &fi : dirs) {
            auto child = std::make_unique<TNode>();
            child->PathPart = fi.fileName() + QLatin1Char('/');
            child->Caption = fi.fileName();
            child->RootIndex = node->RootIndex;
            child->Parent = node;
            child->Row = row++;
            child->HasButton = HasSubfolders(fi.absoluteFilePath());
            node->Children.push_back(std::move(child));
        }
        endInsertRows();
    } else {
        node->HasButton = false;
        emit dataChanged(index, index);   // the view drops the open button
    }
}

TVornFolderModel::TNode *TVornFolderModel::AddFolderMadeSince(TNode *node, const QString &name)
{
    const QFileInfo fi(FullPath(node) + name);
    if (name == QLatin1String("..") || name == QLatin1String(".") || !fi.isDir() || fi.isHidden())
        return nullptr;
    // Where the scan would have put it: by name, any case.
    int row = 0;
    while (row < int(node->Children.size())
           && node->Children[size_t(row)]->Caption.compare(fi.fileName(), Qt::CaseInsensitive) <= 0)
        ++row;
    const QModelIndex parentIndex = IndexOf(node);
    beginInsertRows(parentIndex, row, row);
    auto child = std::make_unique<TNode>();
    child->PathPart = fi.fileName() + QLatin1Char('/');
    child->Caption = fi.fileName();
    child->RootIndex = node->RootIndex;
    child->Parent = node;
    child->HasButton = HasSubfolders(fi.absoluteFilePath());
    TNode *made = child.get();
    node->Children.insert(node->Children.begin() + row, std::move(child));
    for (size_t r = size_t(row); r < node->Children.size(); ++r)
        node->Children[r]->Row = int(r);
    endInsertRows();
    if (!node->HasButton) {
        node->HasButton = true;
        emit dataChanged(parentIndex, parentIndex);
    }
    return made;
}

QModelIndex TVornFolderModel::FindPath(const QString &path)
{
    QString p = QDir::fromNativeSeparators(path.trimmed());
    if (p.isEmpty())
        return {};
    if (p == QLatin1String("~") || p.startsWith(QLatin1String("~/")))
        p = QDir::homePath() + p.mid(1);
    p = WithTrailingSeparator(QDir::cleanPath(p));
    if (!QDir::isAbsolutePath(p))
        return {};

    // The most specific root the path lies under.
    TNode *node = nullptr;
    for (const auto &top : FTop) {
        const Qt::CaseSensitivity cs = QDir::separator() == QLatin1Char('\\') ? Qt::CaseInsensitive
                                                                             : Qt::CaseSensitive;
        if (p.startsWith(top->PathPart, cs) && (!node || top->PathPart.size() > node->PathPart.size()))
            node = top.get();
    }
    if (!node)
        return {};

    QString rest = p.mid(node->PathPart.size());
    for (const QString &part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString wanted = part + QLatin1Char('/');
        Scan(IndexOf(node));
        TNode *found = nullptr;
        for (const auto &child : node->Children) {   // exact spelling first, then any case
            if (child->PathPart == wanted) {
                found = child.get();
                break;
            }
        }
        if (!found)
            for (const auto &child : node->Children)
                if (child->PathPart.compare(wanted, Qt::CaseInsensitive) == 0) {
                    found = child.get();
                    break;
                }
        // A folder made since its parent was read is taken in now: a typed path to it must
        // not end at the parent.
        if (!found)
            found = AddFolderMadeSince(node, part);
        // Stop at the first part that is not there: the deepest existing ancestor, never a
        // like-named folder further down a different branch.
        if (!found)
            break;
        node = found;
    }
    return IndexOf(node);
}

QModelIndex TVornFolderModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < int(FTop.size()) ? createIndex(row, 0, FTop[row].get()) : QModelIndex();
    TNode *node = NodeOf(parent);
    if (row >= int(node->Children.size()))
        return {};
    return createIndex(row, 0, node->Children[row].get());
}

QModelIndex TVornFolderModel::parent(const QModelIndex &child) const
{
    TNode *node = NodeOf(child);
    return node ? IndexOf(node->Parent) : QModelIndex();
}

int TVornFolderModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return int(FTop.size());
    return int(NodeOf(parent)->Children.size());
}

int TVornFolderModel::columnCount(const QModelIndex &) const { return 1; }

bool TVornFolderModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return !FTop.empty();
    const TNode *node = NodeOf(parent);
    return node->Scanned ? !node->Children.empty() : node->HasButton;
}

bool TVornFolderModel::canFetchMore(const QModelIndex &parent) const
{
    const TNode *node = NodeOf(parent);
    return node && !node->Scanned;
}

void TVornFolderModel::fetchMore(const QModelIndex &parent) { Scan(parent); }

QVariant TVornFolderModel::data(const QModelIndex &index, int role) const
{
    const TNode *node = NodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->Caption;
    case Qt::ToolTipRole:
        return FullPath(node);
    case Qt::DecorationRole:
        if (!FIcons)
            return {};
        if (!node->Parent) {
            switch (FRoots.value(node->RootIndex).Kind) {
            case rkFileSystem: return FIcons->icon(QAbstractFileIconProvider::Computer);
            case rkHome: return FIcons->icon(QFileInfo(FullPath(node)));
            case rkNetwork: return FIcons->icon(QAbstractFileIconProvider::Network);
            default: return FIcons->icon(QAbstractFileIconProvider::Drive);
            }
        }
        return FIcons->icon(QAbstractFileIconProvider::Folder);
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------
// File list

TVornFileModel::TVornFileModel(QObject *parent) : QAbstractTableModel(parent) {}

void TVornFileModel::SetFiles(const QList<QFileInfo> &files)
{
    beginResetModel();
    FFiles = files;
    FTypeNames = QStringList(files.size(), QString());
    endResetModel();
}

QString TVornFileModel::FileName(int row) const
{
    return row >= 0 && row < FFiles.size() ? FFiles[row].fileName() : QString();
}

int TVornFileModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FFiles.size());
}

int TVornFileModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 4; }

QVariant TVornFileModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= FFiles.size())
        return {};
    const QFileInfo &fi = FFiles[index.row()];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0: return fi.fileName();
        case 1: return QString::number(fi.size());
        case 2:
            if (FTypeNames[index.row()].isNull())
                FTypeNames[index.row()] = FileTypeName(fi);
            return FTypeNames[index.row()];
        case 3: return FormatModified(fi.lastModified());
        }
    } else if (role == Qt::TextAlignmentRole && index.column() == 1) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    } else if (role == Qt::DecorationRole && index.column() == 0 && FIcons) {
        return FIcons->icon(fi);
    } else if (role == Qt::ToolTipRole) {
        return fi.absoluteFilePath();
    }
    return {};
}

QVariant TVornFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        static const char *const titles[] = {"Name", "Size", "Type", "Modified"};
        return section >= 0 && section < 4 ? QString::fromLatin1(titles[section]) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return int((section == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}
