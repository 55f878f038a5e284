#include "roster/ImportTable.h"
#include "roster/ImportProcess.h"
#include "import/protocol/ImportProtocol.h"
#include "app/Exceptions.h"
#include "app/MemoryHints.h"

#include <QFileInfo>
#include <QHash>
#include <QVarLengthArray>
#include <memory>

namespace {
QStringView Trimmed(QStringView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 32)
        ++b;
    while (e > b && text[e - 1].unicode() <= 32)
        --e;
    return text.mid(b, e - b);
}
} // namespace

QString TrimmedText(QStringView text)
{
    return Trimmed(text).toString();
}

QString TImportTable::NormalizeSSN(QStringView text)
{
    // Removing a separator "with every other occurrence of it" amounts to keeping only
    // ASCII letters and digits.
    QString result;
    result.reserve(9);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
            result.append(c);
    }
    if (result.size() != 9)
        return QString(9, QLatin1Char(' '));
    return result;
}

QString TImportTable::NormalizeGender(QStringView text)
{
    QString result = text.toString();
    for (QChar &c : result) {
        if (c.unicode() >= 'a' && c.unicode() <= 'z')
            c = QChar(c.unicode() - 32);
    }
    if (result == QLatin1String("MALE"))
        return QStringLiteral("M");
    if (result == QLatin1String("FEMALE"))
        return QStringLiteral("F");
    return result;
}

QString TImportTable::KindTitle(quint8 kind)
{
    switch (kind) {
    case fkDoNotImport: return QStringLiteral("Do Not Import");
    case fkSSN: return QStringLiteral("SSN");
    case fkLastName: return QStringLiteral("Last Name");
    case fkFirstName: return QStringLiteral("First Name");
    case fkInitial: return QStringLiteral("Initial");
    case fkGender: return QStringLiteral("Gender");
    case fkRank: return QStringLiteral("Rank");
    case fkPhone: return QStringLiteral("Phone");
    case fkOrganization: return QStringLiteral("Organization ");
    case fkBacBicMcc: return QStringLiteral("BAC/BIC/MCC");
    case fkUicRuc: return QStringLiteral("UIC/RUC");
    default: return QStringLiteral("Unknown");
    }
}

void TImportTable::Clear()
{
    SetFieldCount(0);
    ClearRows();
    Notes = TImportNotes();
}

bool TImportTable::LoadFromFile(const QString &fileName, TImportFileType fileType)
{
    Clear();
    try {
        const bool read = ImportThroughProcess(
            fileName, fileType, FFixedColumns,
            [this](const QStringView *values, qsizetype count) { AddRow(values, count); },
            [this](int count) { EnsureFields(count); }, &Notes, SkipBlankRows);
        Notes.RowsWithoutFirstValue = FRowsWithoutFirstValue;
        return read;
    } catch (...) {
        Clear();   // a zip part's damage shows at its end, after its rows came
        throw;
    }
}

QString TImportTable::GetTemplate() const
{
    int last = -1;
    for (int i = int(FFields.size()) - 1; i >= 0; --i) {
        if (FFields[i].FieldKind != fkDoNotImport || FFields[i].Position != i) {
            last = i;
            break;
        }
    }
    QStringList items;
    for (int i = 0; i <= last; ++i)
        items << QString::number(FFields[i].FieldKind) + QLatin1Char('-') + QString::number(FFields[i].Position);
    items << (IgnoreHeader ? QStringLiteral("-1") : QStringLiteral("0"));
    return items.join(QLatin1Char(','));
}

static bool TemplateFlag(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    int value = 0;
    if (!TryStrToInt(t, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
    return value != 0;
}

void TImportTable::ApplyTemplate(const QString &templ)
{
    if (templ.isEmpty())
        return;
    const QStringList items = templ.split(QLatin1Char(','));
    const int fieldItems = int(items.size()) - 1;
    if (fieldItems > FieldCount())
        throw Exception(QStringLiteral("This template has too many fields for this data - template not applied"));

    // Parse everything first so that a malformed template changes nothing.
    QList<int> kinds, positions;
    for (int i = 0; i < fieldItems; ++i) {
        const QString &item = items[i];
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        kinds << StrToInt(dash < 0 ? item : item.left(dash));
        positions << StrToInt(dash < 0 ? QString() : item.mid(dash + 1));
    }
    const bool header = TemplateFlag(items.last());

    for (int i = 0; i < fieldItems; ++i)
        FFields[i].Position = positions[i];
    for (int i = fieldItems; i < FieldCount(); ++i) {
        FFields[i].Position = i;
        FFields[i].FieldKind = fkDoNotImport;
    }
    for (int i = 0; i < fieldItems; ++i)
        FFields[i].FieldKind = quint8(kinds[i]);
    IgnoreHeader = header;
}

int TImportTable::RowCount() const
{
    const qsizetype n = FRows.size() - HeaderOffset();
    return n > 0 ? int(n) : 0;
}

int TImportTable::IndexOfPosition(int position) const
{
    // Positions equal their index unless a template moved them.
    if (position >= 0 && position < FFields.size() && FFields[position].Position == position)
        return position;
    for (int i = 0; i < FFields.size(); ++i) {
        if (FFields[i].Position == position)
            return i;
    }
    throw Exception(QStringLiteral("Invalid Field Position."));
}

TImportFieldKind TImportTable::GetFieldKind(int position) const
{
    return TImportFieldKind(FFields[IndexOfPosition(position)].FieldKind);
}

void TImportTable::SetFieldKind(int position, TImportFieldKind kind)
{
    FFields[IndexOfPosition(position)].FieldKind = kind;
}

int TImportTable::GetFieldWidth(int position) const
{
    return FFields[IndexOfPosition(position)].Width;
}

QString TImportTable::GetFieldTitle(int position) const
{
    TImportField &field = FFields[IndexOfPosition(position)];
    QString title = KindTitle(field.FieldKind);
    if (field.FieldKind == fkOrganization) {
        // numbered only where there are several to tell apart
        int n = 0;
        int all = 0;
        for (const TImportField &f : std::as_const(FFields)) {
            if (f.FieldKind != fkOrganization)
                continue;
            ++all;
            if (f.Position <= position)
                ++n;
        }
        title = all > 1 ? title + QString::number(n) : title.trimmed();
    }
    if (field.Width < title.size())
        field.Width = int(title.size());
    return title;
}

QStringView TImportTable::RawCell(int row, int position) const
{
    if (row < 0)
        return {};
    const qsizetype s = qsizetype(row) + HeaderOffset();
    if (s >= FRows.size())
        return {};
    const int i = IndexOfPosition(position);
    return i < FRows[s].CellCount ? CellText(s, i) : QStringView();
}

QString TImportTable::GetCell(int row, int position) const
{
    const QStringView raw = RawCell(row, position);
    if (raw.isNull())
        return QString();
    const QString value = TrimmedText(raw);
    switch (FFields[IndexOfPosition(position)].FieldKind) {
    case fkSSN: return NormalizeSSN(value);
    case fkGender: return NormalizeGender(value);
    default: return value;
    }
}

void TImportTable::SetFieldCount(int count)
{
    FFields.resize(qMax(0, count));
}

void TImportTable::EnsureFields(int count)
{
    const int old = FieldCount();
    if (old >= count)
        return;
    FFields.resize(count);
    for (int i = old; i < count; ++i)
        FFields[i] = TImportField{fkDoNotImport, i, 0};
}

void TImportTable::AddRow(const QStringList &values)
{
    QVarLengthArray<QStringView, 32> views(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        views[i] = values[i];
    AddRow(views.constData(), views.size());
}

bool TImportTable::AcceptRow(const QStringView *values, qsizetype count)
{
    ++FRecordsSeen;
    // A row whose first value is empty is no row of the roster; one that holds data is noted.
    if (count <= 0 || values[0].isEmpty()) {
        for (qsizetype i = 1; i < count; ++i) {
            if (!values[i].isEmpty()) {
                if (FRowsWithoutFirstValue.size() < 100000)
                    FRowsWithoutFirstValue << FRecordsSeen;
                break;
            }
        }
        return false;
    }
    EnsureFields(int(count));
    for (qsizetype i = 0; i < count; ++i) {
        const int len = int(values[i].size());
        if (FFields[i].Width < len)
            FFields[i].Width = len;
    }
    return true;
}

void TImportTable::AddRow(const QStringView *values, qsizetype count)
{
    if (!AcceptRow(values, count))
        return;
    qsizetype total = 0;
    for (qsizetype i = 0; i < count; ++i)
        total += values[i].size();
    // A block of about a million characters; a longer row gets a block of its own.
    constexpr qsizetype blockChars = 1 << 20;
    if (FText.isEmpty() || FText.last().size() + total > FText.last().capacity()) {
        FText.append(QString());
        FText.last().reserve(qMax(blockChars, total));
    }
    QString &block = FText.last();
    FRows.append(TRowSpan{int(FText.size()) - 1, block.size(), FCellEnds.size(), int(count)});
    for (qsizetype i = 0; i < count; ++i) {
        block.append(values[i]);
        FCellEnds.append(block.size());
    }
}

QStringView TImportTable::CellText(qsizetype row, int index) const
{
    const TRowSpan &r = FRows[row];
    const qsizetype cell = r.FirstCell + index;
    const qsizetype begin = index == 0 ? r.Start : FCellEnds[cell - 1];
    return QStringView(FText[r.Block]).mid(begin, FCellEnds[cell] - begin);
}

void TImportTable::ClearRows()
{
    FRows.clear();
    FText.clear();
    FCellEnds.clear();
    FRecordsSeen = 0;
    FRowsWithoutFirstValue.clear();
}

namespace {
// Genders, ranks and units repeat down a roster: equal texts share one string. The pool
// stops growing at a few thousand texts, so a column of unique values costs no more.
class TTextPool
{
public:
    explicit TTextPool(QString (*normalize)(QStringView)) : m_normalize(normalize) {}
    QString Get(QStringView raw)
    {
        // The key borrows the cell's text for the look-up: no string is made for a hit.
        const auto it = m_pool.constFind(QString::fromRawData(raw.data(), raw.size()));
        if (it != m_pool.constEnd())
            return it.value();
        QString text = m_normalize ? m_normalize(raw) : raw.toString();
        if (m_pool.size() < 4096 && raw.size() <= 64)
            m_pool.insert(raw.toString(), text);
        return text;
    }

private:
    QString (*m_normalize)(QStringView);
    QHash<QString, QString> m_pool;   // cell text -> its value
};

// Roster records from rows, by the field kind of each display position: 'DOE, JOHN Q.';
// when several columns share a kind the rightmost wins.
class TRosterRecBuilder
{
public:
    explicit TRosterRecBuilder(QList<TImportFieldKind> kinds)
        : m_kinds(std::move(kinds)), m_genders(&TImportTable::NormalizeGender), m_ranks(nullptr), m_units(nullptr)
    {
    }

    // cellAt(position) gives the cell's text as read.
    template <typename CellAt>
    void Fill(TRosterRec &rec, CellAt cellAt)
    {
        QStringView last, first, initial;
        bool hasFirst = false, hasInitial = false;
        for (int c = 0; c < m_kinds.size(); ++c) {
            switch (m_kinds[c]) {
            case fkSSN: rec.SSN = TImportTable::NormalizeSSN(cellAt(c)); break;
            case fkLastName: last = Trimmed(cellAt(c)); break;
            case fkFirstName: first = Trimmed(cellAt(c)); hasFirst = true; break;
            case fkInitial: initial = Trimmed(cellAt(c)); hasInitial = true; break;
            case fkGender: rec.Gender = m_genders.Get(Trimmed(cellAt(c))); break;
            case fkRank: rec.Rank = m_ranks.Get(Trimmed(cellAt(c))); break;
            case fkOrganization: rec.Organization = m_units.Get(Trimmed(cellAt(c))); break;
            default: break;
            }
        }
        // 'LAST, FIRST I.' made in one piece
        rec.Name.reserve(last.size() + (hasFirst ? first.size() + 2 : 0) + (hasInitial ? initial.size() + 2 : 0));
        rec.Name.append(last);
        if (hasFirst)
            rec.Name.append(QLatin1String(", ")).append(first);
        if (hasInitial)
            rec.Name.append(QLatin1Char(' ')).append(initial).append(QLatin1Char('.'));
        rec.Selected = false;
    }

private:
    QList<TImportFieldKind> m_kinds;
    TTextPool m_genders, m_ranks, m_units;
};

// Room for 'count' members in a list of its own, asked for in large pages before any of it is
// written (one list in large pages costs a few page faults where 4 KB pages cost thousands; a
// list that grows in place is written first and advised too late). The members move over.
void MakeRoomForMembers(TRosterRecs &recs, qsizetype count)
{
    TRosterRecs room;
    room.reserve(count);
    AdviseHugePages(room.constData(), size_t(room.capacity()) * sizeof(TRosterRec));
    room.append(std::move(recs));
    recs = std::move(room);
}
} // namespace

TRosterRecs BuildRosterRecs(const TImportTable &table)
{
    const int rows = table.RowCount();
    const int fields = table.FieldCount();
    QList<TImportFieldKind> kinds;
    kinds.reserve(fields);
    for (int c = 0; c < fields; ++c)
        kinds << table.GetFieldKind(c);

    TRosterRecBuilder builder(kinds);
    TRosterRecs recs;
    MakeRoomForMembers(recs, rows);
    for (int r = 0; r < rows; ++r) {
        recs.emplace_back();
        builder.Fill(recs.last(), [&](int c) { return table.RawCell(r, c); });
    }
    return recs;
}

bool TImportTable::LoadRosterRecs(const QString &fileName, TImportFileType fileType,
                                  const QList<TImportFieldKind> &kinds, TRosterRecs &recs)
{
    Clear();
    recs.clear();
    // Room up front for as many members as the file could hold at a row in 40 bytes (room
    // is only taken as it is written); a denser file grows the list.
    MakeRoomForMembers(recs, qsizetype(qBound<qint64>(4096, QFileInfo(fileName).size() / 40, ImportProtocol::MaxRosterRows)));
    TRosterRecBuilder builder(kinds);
    bool header = IgnoreHeader;
    bool read = false;
    try {
        read = ImportThroughProcess(
            fileName, fileType, FFixedColumns,
            [&](const QStringView *values, qsizetype count) {
                if (!AcceptRow(values, count))
                    return;
                if (header) {
                    header = false;
                    return;
                }
                if (recs.size() == recs.capacity())
                    MakeRoomForMembers(recs, recs.capacity() * 2);
                recs.emplace_back();
                builder.Fill(recs.last(), [&](int c) { return c < count ? values[c] : QStringView(); });
            },
            [this](int count) { EnsureFields(count); }, &Notes, SkipBlankRows);
    } catch (...) {
        Clear();   // as LoadFromFile: nothing of a refused roster
        recs.clear();
        throw;
    }
    Notes.RowsWithoutFirstValue = FRowsWithoutFirstValue;
    for (int c = 0; c < qMin(int(kinds.size()), FieldCount()); ++c)
        SetFieldKind(c, kinds[c]);
    return read;
}
