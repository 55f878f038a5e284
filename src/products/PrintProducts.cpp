#include "products/PrintProducts.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "products/BatchManager.h"
#include "products/RB2624Front.h"
#include "roster/FormatRoster.h"
#include "report/Pipeline.h"
#include "selection/SelectionParameters.h"
#include "selection/SelectionRecord.h"

#include <QHash>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <numeric>
#include <thread>

namespace {

enum class Kind { Text, Integer, Date };

struct FieldDef
{
    const char *name;
    Kind kind;
};

const FieldDef FormsFields[] = {
    {"ID", Kind::Integer},        {"DateCollected", Kind::Date}, {"BatchNum", Kind::Text},
    {"UIC", Kind::Text},          {"BAC", Kind::Text},           {"DD2624Blk1", Kind::Text},
    {"DD2624Blk2", Kind::Text},   {"ServiceDesignator", Kind::Text},
    {"locationCode", Kind::Text},
};

const FieldDef FormMembersFields[] = {
    {"SpecimenNumber", Kind::Text}, {"SSN", Kind::Text},      {"Premise", Kind::Text},
    {"TestInfo", Kind::Text},       {"BatchNumber", Kind::Text}, {"DateCollected", Kind::Date},
    {"FullName", Kind::Text},       {"Rank", Kind::Text},     {"FormID", Kind::Integer},
};

const FieldDef HistoryFields[] = {
    {"SpecimenNumber", Kind::Text}, {"SSN", Kind::Text},          {"Premise", Kind::Text},
    {"TestInfo", Kind::Text},       {"BatchNumber", Kind::Text},  {"DateCollected", Kind::Date},
    {"FullName", Kind::Text},       {"Rank", Kind::Text},         {"FullPoolName", Kind::Text},
    {"Gender", Kind::Text},         {"LabelVersion", Kind::Integer}, {"UIC", Kind::Text},
    {"BAC", Kind::Text},            {"Description", Kind::Text},  {"FormID", Kind::Integer},
    {"DateToCollect", Kind::Date},
};

constexpr int FieldLength = 10;

// A memo's lines travel with carriage return and line feed, whatever the editor used.
QString crlfLines(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

} // namespace

TMemberListSelection::TMemberListSelection(TMemberList &list, QString premiseCode,
                                           QString locationCode)
    : m_list(list), m_premiseCode(std::move(premiseCode)), m_locationCode(std::move(locationCode))
{
}

int TMemberListSelection::SelectedCount() const { return m_list.SelectedCount; }

const TRosterRec &TMemberListSelection::GetSelectedMember(int n) const
{
    return m_list.GetSelectedMember(n);
}

int TMemberListSelection::SelectedMemberRow(int n) const
{
    return m_list.MemberIndex(lkSelected, n) + 1;
}

void TMemberListSelection::SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber)
{
    m_list.SetMemberPrintInfo(n, formIndex, specimenNumber);
}

double DateToSerial(const QDate &date)
{
    if (!date.isValid())
        return 0.0;
    return double(QDate(1899, 12, 30).daysTo(date));
}

int RoundHalfEven(double value)
{
    const double down = std::floor(value);
    const double diff = value - down;
    double r;
    if (diff < 0.5)
        r = down;
    else if (diff > 0.5)
        r = down + 1.0;
    else
        r = std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
    return int(r);
}

QList<int> ProductBoxTops(int groupHeight, int count)
{
    QList<int> tops;
    if (count <= 0)
        return tops;
    const double slot = double(groupHeight) / count;
    const int first = RoundHalfEven(slot * 0.7);
    const int step = RoundHalfEven(slot * 0.15) + RoundHalfEven(slot * 0.7);
    int top = first;
    for (int i = 0; i < count; ++i) {
        tops.append(top);
        top += step;
    }
    return tops;
}

TPrintProducts::TPrintProducts(TSelectedMembers &members, TServiceUtils &profile)
    : m_members(members), m_profile(profile), m_main(makePipelines())
{
}

TPrintProducts::~TPrintProducts() = default;

void TPrintProducts::forgetMembers() const
{
    for (CachedMember &c : m_main->Cache)
        c.index = -1;
}

const TRosterRec &TPrintProducts::member(const Pipelines &p, int n, int slot) const
{
    if (m_frozen)
        return m_frozen->Members.at(n);
    CachedMember &c = p.Cache[slot];
    if (c.index != n) {
        c.rec = m_members.GetSelectedMember(n);
        c.index = n;
    }
    return c.rec;
}

QString TPrintProducts::premiseCode() const
{
    return m_frozen ? m_frozen->Premise : m_members.PremiseCode();
}

QString TPrintProducts::locationCode() const
{
    return m_frozen ? m_frozen->Location : m_members.LocationCode();
}

QString TPrintProducts::sheetBatch(int sheet) const
{
    if (sheet < 0 || sheet >= m_forms.size())
        return QString();
    return m_forms.at(sheet).BatchNumber;
}

void TPrintProducts::NumberMembers()
{
    TBatchManager &numbers = *m_profile.BatchManager;
    forgetMembers();

    numbers.SetMinBatch(StrToInt(Inputs.BatchStart));
    numbers.SetMaxBatch(StrToInt(Inputs.BatchEnd));
    numbers.SetNumbers(Inputs.StartingBatch, QString());

    m_forms.clear();
    m_forms.append(TFormInfo{0, 0, numbers.GetBatchNumber()});

    const int count = m_members.SelectedCount();
    QString previousGender;
    for (int i = 0; i < count; ++i) {
        {
            const TRosterRec &rec = m_members.GetSelectedMember(i);
            const bool genderChanged = Inputs.GroupByGender && i > 0 && rec.Gender != previousGender;
            if (m_forms.last().MemberCount >= MaxMembersPerSheet || genderChanged)
                m_forms.append(TFormInfo{i, 0, numbers.NextBatchNumber()});
            previousGender = rec.Gender;
        }
        m_forms.last().MemberCount += 1;
        numbers.NextSpecimenNumber();
        m_members.SetMemberPrintInfo(i, int(m_forms.size()) - 1, numbers.GetSpecimenNumber());
    }

    m_main->Forms->RecordCount = int(m_forms.size());
    m_main->FormMembers->RecordCount = count;
    m_main->History->RecordCount = count;
    forgetMembers();
    completeSelectionRecord();
}

void TPrintProducts::completeSelectionRecord() const
{
    // The record of the draw gets the numbers the products carry; a record of another
    // selection (another count) is left alone.
    TSelectionRecord *record = CurrentSelectionRecord();
    const int count = m_members.SelectedCount();
    if (!record || record->SelectedCount != count)
        return;
    const QList<TRecordMember> &before = record->Members;
    // A selection that cannot tell roster rows: the rows go with the names, namesakes in the
    // order the draw listed them (grouping may have moved them). Entries of one name are
    // chained, so this stays linear.
    QHash<QString, int> firstOf;   // the next entry of a name not yet taken
    QList<int> nextOf;
    auto rowByName = [&](const QString &name) {
        if (nextOf.isEmpty()) {
            nextOf.fill(-1, before.size());
            for (int j = int(before.size()) - 1; j >= 0; --j) {
                const auto found = firstOf.find(before.at(j).Name);
                if (found == firstOf.end()) {
                    firstOf.insert(before.at(j).Name, j);
                } else {
                    nextOf[j] = found.value();
                    found.value() = j;
                }
            }
        }
        const auto found = firstOf.find(name);
        if (found == firstOf.end() || found.value() < 0)
            return 0;
        const int row = before.at(found.value()).Row;
        found.value() = nextOf.at(found.value());
        return row;
    };
    QList<TRecordMember> members;
    members.reserve(count);
    for (int i = 0; i < count; ++i) {
        const TRosterRec &rec = m_members.GetSelectedMember(i);
        TRecordMember m{QString(), rec.SpecimenNumber, rec.Name, m_members.SelectedMemberRow(i)};
        if (rec.FormIndex >= 0 && rec.FormIndex < m_forms.size())
            m.BatchNumber = m_forms.at(rec.FormIndex).BatchNumber;
        if (m.Row <= 0)
            m.Row = rowByName(rec.Name);
        members.append(m);
    }
    forgetMembers();
    record->Members = members;
    record->GroupByGender = Inputs.GroupByGender;
    record->StartingBatch = Inputs.StartingBatch;
    record->Numbered = true;
}

bool TPrintProducts::IsBarcodeText(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return true;
}

bool TPrintProducts::IsValidSsn(const QString &ssn)
{
    return IsValidSSN(ssn);
}

namespace {
// The first character of a text that a barcode cannot carry, shown as the user would see it.
QString firstForeignCharacter(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7E)
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size())
            return text.mid(i, 2);
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("a control character");
        return QStringLiteral("\"%1\"").arg(c);
    }
    return QString();
}
} // namespace

void TPrintProducts::CheckInputs() const
{
    const TPrintInputs &in = Inputs;
    const struct { QString caption; QString value; } coded[] = {
        {m_profile.BacCaption, in.BAC},
        {m_profile.UicCaption, in.UIC},
    };
    for (const auto &field : coded)
        if (!IsBarcodeText(field.value))
            throw Exception(QStringLiteral("The %1 \"%2\" holds %3, which barcode scanners do not read "
                                           "reliably. Use letters, digits, blanks and ordinary punctuation only")
                                .arg(field.caption, field.value, firstForeignCharacter(field.value)));
    if (in.Front2624) {
        for (int block = 1; block <= 2; ++block) {
            const QString message = Trpt2624Front::BlockOverflowMessage(block, block == 1 ? in.Block1 : in.Block2);
            if (!message.isEmpty())
                throw Exception(message);
        }
    }
}

QStringList TPrintProducts::MembersWithoutValidSsn() const
{
    QStringList names;
    const int count = m_members.SelectedCount();
    for (int i = 0; i < count; ++i) {
        const TRosterRec rec = m_members.GetSelectedMember(i);
        if (!IsValidSsn(rec.SSN))
            names.append(rec.Name.trimmed().isEmpty() ? QStringLiteral("(no name)") : rec.Name.trimmed());
    }
    return names;
}

void TPrintProducts::Print(const TProductPrinters &printers)
{
    CheckInputs();
    NumberMembers();
    m_main->FormMembers->SetMasterDataPipeline(m_main->Forms.get());

    const TPrintInputs &in = Inputs;
    TppJITPipeline *history = m_main->History.get();
    if (in.NotificationCopy && printers.NotificationCopy) {
        forgetMembers();
        printers.NotificationCopy(history);
    }
    if (in.WorkingCopy && printers.WorkingCopy) {
        forgetMembers();
        printers.WorkingCopy(history);
    }
    if (in.TestingRegister && printers.TestingRegister) {
        forgetMembers();
        printers.TestingRegister(history);
    }
    if (in.Front2624 && printers.Front2624) {
        forgetMembers();
        printers.Front2624(m_main->Forms.get(), m_main->FormMembers.get());
    }
    if (in.Back2624 && printers.Back2624) {
        const TDD2624BackLines lines{
            TDD2624BackLine{QDateTime(in.CollectionDate, QTime(0, 0)), QString(), QString(), QString()}};
        printers.Back2624(int(m_forms.size()), lines);
    }
    if (in.BottleLabels && printers.BottleLabels) {
        forgetMembers();
        printers.BottleLabels(history, m_members.SelectedCount());
    }
    // nothing to print before a draw was made
    if (in.SelectionRecord && printers.SelectionRecord) {
        if (const TSelectionRecord *record = CurrentSelectionRecord())
            printers.SelectionRecord(*record);
    }
}

void TPrintProducts::PrintConcurrently(const TProductPrinters &printers, int threads)
{
    CheckInputs();
    NumberMembers();
    m_main->FormMembers->SetMasterDataPipeline(m_main->Forms.get());

    const TPrintInputs &in = Inputs;
    const int memberCount = m_members.SelectedCount();
    const int sheetCount = int(m_forms.size());
    using Task = std::function<void(const Pipelines &)>;
    QList<Task> tasks;   // in print order
    QList<int> cost;     // a product's share of the CPU when all are written (profiled, 10,000 members)
    auto add = [&](int weight, Task task) {
        tasks.append(std::move(task));
        cost.append(weight);
    };
    if (in.NotificationCopy && printers.NotificationCopy)
        add(11, [&](const Pipelines &p) { printers.NotificationCopy(p.History.get()); });
    if (in.WorkingCopy && printers.WorkingCopy)
        add(8, [&](const Pipelines &p) { printers.WorkingCopy(p.History.get()); });
    if (in.TestingRegister && printers.TestingRegister)
        add(12, [&](const Pipelines &p) { printers.TestingRegister(p.History.get()); });
    if (in.Front2624 && printers.Front2624)
        add(25, [&](const Pipelines &p) { printers.Front2624(p.Forms.get(), p.FormMembers.get()); });
    if (in.Back2624 && printers.Back2624) {
        const TDD2624BackLines lines{
            TDD2624BackLine{QDateTime(in.CollectionDate, QTime(0, 0)), QString(), QString(), QString()}};
        add(16, [&, lines](const Pipelines &) { printers.Back2624(sheetCount, lines); });
    }
    if (in.BottleLabels && printers.BottleLabels)
        add(24, [&](const Pipelines &p) { printers.BottleLabels(p.History.get(), memberCount); });
    const TSelectionRecord *record = CurrentSelectionRecord();
    if (in.SelectionRecord && printers.SelectionRecord && record)
        add(1, [&](const Pipelines &) { printers.SelectionRecord(*record); });

    auto frozen = std::make_unique<Frozen>();
    frozen->Members.reserve(memberCount);
    for (int i = 0; i < memberCount; ++i)
        frozen->Members.append(m_members.GetSelectedMember(i));
    frozen->Premise = m_members.PremiseCode();
    frozen->Location = m_members.LocationCode();
    m_frozen = std::move(frozen);
    struct Thaw
    {
        TPrintProducts *owner;
        ~Thaw() { owner->m_frozen.reset(); }
    } thaw{this};

    // Every task gets its pipelines before any starts: making them touches nothing shared,
    // and a task then only reads.
    std::vector<std::unique_ptr<Pipelines>> own;
    for (qsizetype t = 0; t < tasks.size(); ++t) {
        own.push_back(makePipelines());
        Pipelines &p = *own.back();
        p.Forms->RecordCount = sheetCount;
        p.FormMembers->RecordCount = memberCount;
        p.History->RecordCount = memberCount;
        p.FormMembers->SetMasterDataPipeline(p.Forms.get());
    }
    const int cores = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    // The longest products first, so that the last one to end is a short one; one worker
    // takes them in print order, as Print does.
    QList<int> order(tasks.size());
    std::iota(order.begin(), order.end(), 0);
    if (cores > 1)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return cost.at(a) > cost.at(b); });
    // Plain threads taking the next task until none is left; joining them orders their
    // writes before what follows (also for a race detector, which cannot see Qt's locks).
    std::vector<std::exception_ptr> errors(size_t(tasks.size()));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (int k = next++; k < tasks.size(); k = next++) {
            const int t = order.at(k);
            if (failed.load())
                return;
            try {
                tasks.at(t)(*own[size_t(t)]);
            } catch (...) {
                errors[size_t(t)] = std::current_exception();
                failed.store(true);
            }
        }
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < std::min<qsizetype>(cores, tasks.size()); ++w)
        workers.emplace_back(work);
    for (std::thread &w : workers)
        w.join();
    for (const std::exception_ptr &e : errors)
        if (e)
            std::rethrow_exception(e);
}

QString TPrintProducts::TestInfo(const QString &rank) const
{
    return m_profile.TestInfoCode(RankGrade(rank));
}

QVariant TPrintProducts::FormsValue(int sheet, const QString &fieldName) const
{
    return formsValue(sheet, fieldName);
}

QVariant TPrintProducts::FormMembersValue(int n, int masterSheet, const QString &fieldName) const
{
    return formMembersValue(*m_main, n, masterSheet, fieldName);
}

QVariant TPrintProducts::HistoryValue(int n, const QString &fieldName) const
{
    return historyValue(*m_main, n, fieldName);
}

QVariant TPrintProducts::formsValue(int sheet, const QString &fieldName) const
{
    const QString f = fieldName.toUpper();
    if (f == QLatin1String("ID"))
        return sheet;
    if (f == QLatin1String("DATECOLLECTED"))
        return DateToSerial(Inputs.CollectionDate);
    if (f == QLatin1String("BATCHNUM"))
        return sheetBatch(sheet);
    if (f == QLatin1String("UIC"))
        return Inputs.UIC;
    if (f == QLatin1String("BAC"))
        return Inputs.BAC;
    if (f == QLatin1String("DD2624BLK1"))
        return crlfLines(Inputs.Block1);
    if (f == QLatin1String("DD2624BLK2"))
        return crlfLines(Inputs.Block2);
    if (f == QLatin1String("SERVICEDESIGNATOR"))
        return m_profile.ServiceDesignator;
    if (f == QLatin1String("LOCATIONCODE"))
        return locationCode();
    return QString();
}

QVariant TPrintProducts::formMembersValue(const Pipelines &p, int n, int masterSheet,
                                          const QString &fieldName) const
{
    const QString f = fieldName.toUpper();
    // Fields that do not depend on the member first: no need to look it up.
    if (f == QLatin1String("PREMISE"))
        return premiseCode();
    if (f == QLatin1String("BATCHNUMBER"))
        return sheetBatch(masterSheet);
    if (f == QLatin1String("DATECOLLECTED"))
        return DateToSerial(Inputs.CollectionDate);
    if (n < 0 || n >= m_members.SelectedCount())
        return QString();
    if (f == QLatin1String("SPECIMENNUMBER"))
        return member(p, n, 0).SpecimenNumber;
    if (f == QLatin1String("SSN"))
        return member(p, n, 0).SSN;
    if (f == QLatin1String("TESTINFO"))
        return TestInfo(member(p, n, 0).Rank);
    if (f == QLatin1String("FULLNAME"))
        return member(p, n, 0).Name;
    if (f == QLatin1String("RANK"))
        return member(p, n, 0).Rank;
    if (f == QLatin1String("FORMID"))
        return member(p, n, 0).FormIndex;
    return QString();
}

QVariant TPrintProducts::historyValue(const Pipelines &p, int n, const QString &fieldName) const
{
    const QString f = fieldName.toUpper();
    if (f == QLatin1String("PREMISE"))
        return premiseCode();
    if (f == QLatin1String("DATECOLLECTED") || f == QLatin1String("DATETOCOLLECT"))
        return DateToSerial(Inputs.CollectionDate);
    if (f == QLatin1String("LABELVERSION"))
        return 0;
    if (f == QLatin1String("UIC"))
        return Inputs.UIC;
    if (f == QLatin1String("BAC"))
        return Inputs.BAC;
    if (n < 0 || n >= m_members.SelectedCount())
        return QString();
    if (f == QLatin1String("SPECIMENNUMBER"))
        return member(p, n, 1).SpecimenNumber;
    if (f == QLatin1String("SSN"))
        return member(p, n, 1).SSN;
    if (f == QLatin1String("TESTINFO"))
        return TestInfo(member(p, n, 1).Rank);
    if (f == QLatin1String("BATCHNUMBER"))
        return sheetBatch(member(p, n, 1).FormIndex);
    if (f == QLatin1String("FULLNAME"))
        return member(p, n, 1).Name;
    if (f == QLatin1String("RANK"))
        return member(p, n, 1).Rank;
    if (f == QLatin1String("FULLPOOLNAME") || f == QLatin1String("DESCRIPTION"))
        return member(p, n, 1).Organization;
    if (f == QLatin1String("GENDER"))
        return member(p, n, 1).Gender;
    if (f == QLatin1String("FORMID"))
        return member(p, n, 1).FormIndex;
    return QString();
}

QVariant TPrintProducts::ppFormsGetFieldValue(const QString &fieldName) const
{
    return formsValue(m_main->Forms->RecordIndex(), fieldName);
}

QVariant TPrintProducts::ppFormMembersGetFieldValue(const QString &fieldName) const
{
    return formMembersValue(*m_main, m_main->FormMembers->RecordIndex(), m_main->Forms->RecordIndex(), fieldName);
}

QVariant TPrintProducts::ppHistoryGetFieldValue(const QString &fieldName) const
{
    return historyValue(*m_main, m_main->History->RecordIndex(), fieldName);
}

QString TPrintProducts::ValueText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QMetaType::Int:
        return QString::number(value.toInt());
    default:
        return value.toString();
    }
}

double TPrintProducts::ValueDouble(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Int:
        return value.toDouble();
    default: {
        // Number texts (batch '0007', specimen '012') count; other texts are 0.
        double d = 0.0;
        return TryStrToFloat(value.toString(), d, QLocale::c()) ? d : 0.0;
    }
    }
}

std::unique_ptr<TPrintProducts::Pipelines> TPrintProducts::makePipelines() const
{
    auto make = [](const char *userName, const FieldDef *defs, int count) {
        auto p = std::make_unique<TppJITPipeline>(QString::fromLatin1(userName));
        p->InitialIndex = 0;
        for (int i = 0; i < count; ++i) {
            const TppDataType type = defs[i].kind == Kind::Integer ? dtInteger
                                     : defs[i].kind == Kind::Date  ? dtDateTime
                                                                   : dtString;
            TppField &field = p->AddField(QString::fromLatin1(defs[i].name), type, FieldLength);
            field.FieldAlias = field.FieldName;
            field.Position = i;
        }
        return p;
    };
    auto set = std::make_unique<Pipelines>();
    set->Forms = make("Forms", FormsFields, int(std::size(FormsFields)));
    set->FormMembers = make("FormMembers", FormMembersFields, int(std::size(FormMembersFields)));
    set->History = make("History1", HistoryFields, int(std::size(HistoryFields)));

    auto wire = [](TppJITPipeline *p, std::function<QVariant(const QString &)> value) {
        p->OnGetFieldValue = value;
        p->OnGetFieldAsString = [value](const QString &f) { return ValueText(value(f)); };
        p->OnGetFieldAsDouble = [value](const QString &f) { return ValueDouble(value(f)); };
    };
    const Pipelines *p = set.get();
    wire(p->Forms.get(), [this, p](const QString &f) { return formsValue(p->Forms->RecordIndex(), f); });
    wire(p->FormMembers.get(), [this, p](const QString &f) {
        return formMembersValue(*p, p->FormMembers->RecordIndex(), p->Forms->RecordIndex(), f);
    });
    wire(p->History.get(), [this, p](const QString &f) { return historyValue(*p, p->History->RecordIndex(), f); });

    TppMasterFieldLink link;
    link.MasterFieldName = QStringLiteral("ID");
    link.DetailFieldName = QStringLiteral("FormID");
    link.DetailSortOrder = soAscending;
    set->FormMembers->MasterFieldLinks.append(link);
    return set;
}
