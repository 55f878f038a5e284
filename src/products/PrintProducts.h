#pragma once
#include "products/DD2624BackLines.h"
#include "roster/RosterRec.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class TBatchManager;
class TMemberList;
class TServiceUtils;
class TSelectionRecord;
class TppJITPipeline;

// One custody-document sheet of the last print run. Its index in TForms is the form
// index that its members carry.
struct TFormInfo
{
    int FirstMember = 0;     // position in the selection order of the sheet's first member
    int MemberCount = 0;     // 1 to 12 once numbered
    QString BatchNumber;     // printed batch text, '0001'
};

using TForms = QList<TFormInfo>;

// The selected members as printing sees them: positions 0 .. SelectedCount-1 in the
// current display order. The wizard's selection page answers it; so can a program
// without windows.
class TSelectedMembers
{
public:
    virtual ~TSelectedMembers() = default;
    virtual int SelectedCount() const = 0;
    virtual const TRosterRec &GetSelectedMember(int n) const = 0;
    virtual void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) = 0;
    virtual QString PremiseCode() const = 0;
    virtual QString LocationCode() const = 0;
    // 1-based roster data row of the n-th selected member; 0 when the selection does not know.
    virtual int SelectedMemberRow(int n) const
    {
        (void)n;
        return 0;
    }
};

// The selected members of a member list, for a program without pages.
class TMemberListSelection : public TSelectedMembers
{
public:
    TMemberListSelection(TMemberList &list, QString premiseCode, QString locationCode);
    int SelectedCount() const override;
    const TRosterRec &GetSelectedMember(int n) const override;
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) override;
    QString PremiseCode() const override { return m_premiseCode; }
    QString LocationCode() const override { return m_locationCode; }
    int SelectedMemberRow(int n) const override;

private:
    TMemberList &m_list;
    QString m_premiseCode;
    QString m_locationCode;
};

// What the user typed and ticked for one print run.
struct TPrintInputs
{
    QString BAC;
    QString UIC;
    QString Block1;            // custody document block 1, several lines
    QString Block2;
    QDate CollectionDate;
    QString StartingBatch = QStringLiteral("0001");
    QString BatchStart = QStringLiteral("1");   // batch range, plain decimal
    QString BatchEnd = QStringLiteral("999");
    bool GroupByGender = false;

    bool NotificationCopy = false;
    bool WorkingCopy = false;
    bool TestingRegister = false;
    bool Front2624 = false;
    bool Back2624 = false;
    bool BottleLabels = false;
    bool SelectionRecord = false;

    bool AnyProduct() const
    {
        return NotificationCopy || WorkingCopy || TestingRegister || Front2624 || Back2624
               || BottleLabels || SelectionRecord;
    }
};

// The print operation of each product. Each one creates its report, prints it and
// releases it again, also when printing fails.
struct TProductPrinters
{
    std::function<void(TppJITPipeline *history)> NotificationCopy;
    std::function<void(TppJITPipeline *history)> WorkingCopy;
    std::function<void(TppJITPipeline *history)> TestingRegister;
    std::function<void(TppJITPipeline *forms, TppJITPipeline *formMembers)> Front2624;
    std::function<void(int sheetCount, const TDD2624BackLines &lines)> Back2624;
    // Returns whether the labels went straight to a printer.
    std::function<bool(TppJITPipeline *history, int memberCount)> BottleLabels;
    std::function<void(const TSelectionRecord &record)> SelectionRecord;
};

// The report forms of the program (DefaultPrinters.cpp).
TProductPrinters DefaultProductPrinters();

// Days since 30 December 1899, the date form the report pipelines carry.
double DateToSerial(const QDate &date);

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);

// Tops of the product check boxes for a group of the given height holding count boxes.
QList<int> ProductBoxTops(int groupHeight, int count);

// Numbering of the selected members into sheets, the three report pipelines over them,
// and the print sequence of the ticked products.
class TPrintProducts
{
public:
    static constexpr int MaxMembersPerSheet = 12;

    // The profile supplies the numbering object, the service designator and the test
    // information letters. Neither is owned.
    TPrintProducts(TSelectedMembers &members, TServiceUtils &profile);
    ~TPrintProducts();
    TPrintProducts(const TPrintProducts &) = delete;
    TPrintProducts &operator=(const TPrintProducts &) = delete;

    TPrintInputs Inputs;

    const TForms &Forms() const { return m_forms; }
    TppJITPipeline *ppForms() const { return m_main->Forms.get(); }
    TppJITPipeline *ppFormMembers() const { return m_main->FormMembers.get(); }
    TppJITPipeline *ppHistory() const { return m_main->History.get(); }

    // Splits the selected members into sheets and numbers sheets and members from the
    // batch range and starting batch of Inputs; sets the pipelines' record counts.
    // Conversion and batch errors propagate before any sheet is built.
    void NumberMembers();

    // Refuses, before anything is numbered or printed, values the ticked products cannot
    // carry: a BAC or UIC with characters a barcode scanner reads differently, a block text
    // that does not fit its block of the custody document.
    void CheckInputs() const;

    // The selected members whose SSN is not nine letters or digits, as "Name" lines.
    QStringList MembersWithoutValidSsn() const;
    static bool IsValidSsn(const QString &ssn);
    // Characters that go into a barcode: printable ASCII, read alike by every scanner.
    static bool IsBarcodeText(const QString &text);

    // Checks the inputs, numbers afresh, links the member pipeline to the sheet pipeline, then
    // prints the ticked products in their fixed order. The first failing product stops the rest.
    void Print(const TProductPrinters &printers);

    // The same, with the ticked products printed at once on worker threads (one product a
    // task, 'threads' at a time; 0 for one per core), each over pipelines of its own. Only for
    // printers that ask nobody anything (files, not previews). The selected members and the
    // premise and location are read once, before the first task starts; the products come out
    // as Print makes them. A failing product stops the tasks not yet started, and the error of
    // the first failing product, in print order, is raised once every task has ended.
    void PrintConcurrently(const TProductPrinters &printers, int threads = 0);

    // Field values, as the pipelines answer them. Names are matched without regard to
    // case; an unknown name gives an empty text.
    QVariant FormsValue(int sheet, const QString &fieldName) const;
    QVariant FormMembersValue(int member, int masterSheet, const QString &fieldName) const;
    QVariant HistoryValue(int member, const QString &fieldName) const;

    // The same at the pipelines' current records.
    QVariant ppFormsGetFieldValue(const QString &fieldName) const;
    QVariant ppFormMembersGetFieldValue(const QString &fieldName) const;
    QVariant ppHistoryGetFieldValue(const QString &fieldName) const;

    // Conversions used by the AsString and AsDouble handlers.
    static QString ValueText(const QVariant &value);
    static double ValueDouble(const QVariant &value);

    // The test information letter for a rank: junior enlisted ranks count as grade 1.
    QString TestInfo(const QString &rank) const;

private:
    // The member last read per pipeline: a report asks for many fields of one record
    // in a row, and finding a selected member walks the whole display order.
    struct CachedMember
    {
        int index = -1;
        TRosterRec rec;
    };
    // The three pipelines one report reads, with their record positions and cache.
    struct Pipelines
    {
        std::unique_ptr<TppJITPipeline> Forms;
        std::unique_ptr<TppJITPipeline> FormMembers;
        std::unique_ptr<TppJITPipeline> History;
        mutable CachedMember Cache[2];
    };
    std::unique_ptr<Pipelines> makePipelines() const;
    void completeSelectionRecord() const;
    const TRosterRec &member(const Pipelines &p, int n, int slot) const;
    QString sheetBatch(int sheet) const;
    QString premiseCode() const;
    QString locationCode() const;
    QVariant formsValue(int sheet, const QString &fieldName) const;
    QVariant formMembersValue(const Pipelines &p, int n, int masterSheet, const QString &fieldName) const;
    QVariant historyValue(const Pipelines &p, int n, const QString &fieldName) const;

    TSelectedMembers &m_members;
    TServiceUtils &m_profile;
    TForms m_forms;
    std::unique_ptr<Pipelines> m_main;

    // While products print on several threads: the selected members and the codes, read
    // once, so that no task calls into the selection (a page's controls among it).
    struct Frozen
    {
        TRosterRecs Members;
        QString Premise;
        QString Location;
    };
    std::unique_ptr<const Frozen> m_frozen;
    void forgetMembers() const;
};
