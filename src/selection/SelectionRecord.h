#pragma once
#include "roster/ImportTable.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

class TMemberList;

// The record of one selection: what was drawn, from which roster file, and the
// corvane-batch command that repeats it. It keeps names, never SSNs: it is shown to
// inspectors who have no business with them.

// Where the members came from, as the roster pages left it.
struct TRosterSource
{
    QString FileName;
    TImportFileType FileType = iftNone;
    QString TableName;          // the Access table; empty for the other types
    QString Template;           // TImportTable::GetTemplate
    bool IgnoreHeader = false;
    QStringList ColumnKinds;    // corvane-batch's --columns names, by display position
    QString BlankRows;          // rows after an empty column-A cell: "skip" read, "stop" left out, empty none
};

TRosterSource RosterSourceOf(const QString &fileName, TImportFileType fileType, const TImportTable &table,
                             const QString &tableName = QString());

enum TDrawMethod : quint8 { dmProbability = 0, dmCount = 1, dmUnitSweep = 2, dmByHand = 3 };

struct TRecordMember
{
    QString BatchNumber;        // empty until the products are numbered
    QString SpecimenNumber;
    QString Name;
    int Row = 0;                // 1-based data row of the roster
};
Q_DECLARE_TYPEINFO(TRecordMember, Q_RELOCATABLE_TYPE);

// A member of the pool, or an alternate, as the record keeps it: never the SSN.
struct TPoolMember
{
    int Row = 0;                // 1-based data row of the roster
    QString Name;
    QString Rank;
    QString Organization;
    bool Selected = false;      // selected by the draw (always false for an alternate)
    bool operator==(const TPoolMember &) const = default;
};
Q_DECLARE_TYPEINFO(TPoolMember, Q_RELOCATABLE_TYPE);

class TSelectionRecord
{
public:
    QString Program;            // "Corvane Lite 1.0"
    QDateTime DrawnAt;          // local time
    int DrawNumber = 0;         // this draw, counted since the program started
    int DrawsMade = 0;          // draws made when the record was last written or printed
    TRosterSource Source;
    qint64 RosterSize = -1;
    QString RosterSha256;       // lower-case hex; empty when the file could not be read
    QString RosterReadError;
    int PoolCount = 0;
    QString PremiseCode;
    QString LocationCode;
    TDrawMethod Method = dmByHand;
    QString MethodValue;        // per cent or count, in the C locale
    std::optional<quint32> Seed;
    int SelectedCount = 0;
    int SortColumn = 0;         // 0 Name, 1 SSN, 2 Rank
    bool SortAscending = true;
    bool GroupByGender = false;
    QString StartingBatch;      // set when the members are numbered
    bool Numbered = false;
    QList<TRecordMember> Members;   // display order
    // Every member the draw was made from, in display order at the draw, and the SHA-256
    // of their names and SSNs in that order (PoolSha256Of): the pool can be compared with
    // a roster file later without the record holding a single SSN.
    QList<TPoolMember> Pool;
    QString PoolSha256;         // lower-case hex; empty in records made before it was kept
    int AlternatesAsked = 0;
    QList<TPoolMember> Alternates;  // in the order they are to be used

    // "Probability 10 %", "Total number 5", "Unit sweep", "By hand".
    QString MethodText() const;
    // "Excel workbook: first worksheet", "Access table Roster", ...
    QString SourceText() const;
    // "draw 2 of 2"
    QString DrawText() const;
    // "5", or "5 asked for, 3 drawn: ..." when fewer members were left.
    QString AlternatesText() const;
    // The fields as (caption, value) rows, in the order they are printed.
    QList<QPair<QString, QString>> Fields() const;

    // corvane-batch's arguments (no program name) that repeat this draw; empty when the
    // roster's type has no batch equivalent.
    QStringList BatchArguments() const;
    // The same as one shell command line, quoted where needed.
    QString BatchCommand() const;

    QJsonObject ToJson() const;
    // Throws Exception naming the file when the text is no record.
    static TSelectionRecord FromJson(const QJsonObject &object, const QString &fileName);
};

// File size and streamed SHA-256; false (error set) when the file cannot be read.
bool HashRosterFile(const QString &fileName, qint64 &size, QString &sha256, QString *error = nullptr);

// SHA-256 over the members' names and SSNs in display order: for each member its name, a
// tab, its SSN and a line feed, in UTF-8. Lower-case hex.
QString PoolSha256Of(const TMemberList &list);

// Who is in one pool and not the other, by name, the pools aligned in roster order (so that
// of several namesakes the row that changed is named): "removed: NAME (row R)" for each
// member of recorded missing from now, then "added: NAME (row R)" for each member of now
// missing from recorded. Empty when the names are the same.
QStringList PoolDifferences(const QList<TPoolMember> &recorded, const QList<TPoolMember> &now);

// Makes the record of a draw just made on the list: reads the roster file's size and hash,
// takes the seed from the random source for the random methods, copies the pool, and keeps
// the alternates drawn (member indexes, in their order) with the number asked for.
TSelectionRecord MakeSelectionRecord(const TRosterSource &source, const TMemberList &list,
                                     const QString &premiseCode, const QString &locationCode,
                                     TDrawMethod method, const QString &methodValue,
                                     const QList<int> &alternates = {}, int alternatesAsked = 0);

// The program's record of the last draw: a new draw replaces it and counts one more.
void SetCurrentSelectionRecord(const TSelectionRecord &record);
TSelectionRecord *CurrentSelectionRecord();
int SelectionDrawsMade();
// Forgets the record and the count (tests).
void ResetSelectionRecords();

// "--columns" name of a field kind ("skip" for the kinds a test does not read).
QString ColumnKindName(quint8 kind);
// "--type" name of a file type; empty when corvane-batch reads no such type.
QString BatchTypeName(TImportFileType type);
QString ShellQuoted(const QString &argument);
