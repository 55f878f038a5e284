#include "selection/SelectionParameters.h"
#include "selection/RandomSource.h"
#include "selection/TextOrder.h"

#include "app/Exceptions.h"
#include "app/MemoryHints.h"
#include "app/ServiceUtilsUnit.h"
#include "roster/ImportTable.h"
#include "app/VORNUtils.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <utility>

namespace {
// The partition steps fix the order of equal members (the total-number draw depends on it).
// The two halves are disjoint, so sorting the smaller one by recursion and the larger one in
// the loop gives the same result with a stack depth of log N.
template<typename Key, typename Before>
void PartitionSort(QList<Key> &keys, int l, int r, const Before &before)
{
    while (l < r) {
        int i = l;
        int j = r;
        const Key pivot = keys[(l + r) / 2];
        do {
            while (before(keys[i], pivot))
                ++i;
            while (before(pivot, keys[j]))
                --j;
            if (i <= j) {
                std::swap(keys[i], keys[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        const bool left = l < j;
        const bool right = i < r;
        if (left && right) {
            if (j - l < r - i) {
                PartitionSort(keys, l, j, before);
                l = i;
            } else {
                PartitionSort(keys, i, r, before);
                r = j;
            }
        } else if (left) {
            r = j;
        } else if (right) {
            l = i;
        } else {
            break;
        }
    }
}
} // namespace

QString SsnDisplayText(const QString &ssn)
{
    return ssn.mid(0, 3) + QLatin1Char('-') + ssn.mid(3, 2) + QLatin1Char('-') + ssn.mid(5, 4);
}

void TMemberList::LoadMembers(TRosterRecs members)
{
    Members = std::move(members);
    for (TRosterRec &m : Members)
        m.Selected = false;
    SelectedCount = 0;
    const int n = MemberCount();
    DisplayOrder.resize(n);
    for (int i = 0; i < n; ++i)
        DisplayOrder[i] = i;
    InvalidateIndex();
    SortByColumn(0);
}

void TMemberList::LoadRoster(const TImportTable &table)
{
    LoadMembers(BuildRosterRecs(table));
}

void TMemberList::EnsureIndex() const
{
    if (m_indexValid)
        return;
    const int n = int(DisplayOrder.size());
    m_positionOf.resize(Members.size());
    m_tree.fill(0, n + 1);
    for (int p = 0; p < n; ++p) {
        const int member = DisplayOrder[p];
        m_positionOf[member] = p;
        if (Members[member].Selected)
            m_tree[p + 1] += 1;
    }
    // Linear-time Fenwick construction: push each node's sum to its parent.
    for (int i = 1; i <= n; ++i) {
        const int parent = i + (i & -i);
        if (parent <= n)
            m_tree[parent] += m_tree[i];
    }
    m_indexValid = true;
}

void TMemberList::TreeAdd(int position, int delta) const
{
    const int n = int(m_tree.size()) - 1;
    for (int i = position + 1; i <= n; i += i & -i)
        m_tree[i] += delta;
}

int TMemberList::FindNth(bool selected, int n) const
{
    // Finds the display position holding the (n+1)-th member of the wanted kind.
    const int size = int(m_tree.size()) - 1;
    int step = 1;
    while (step * 2 <= size)
        step *= 2;
    int pos = 0;
    int remaining = n + 1;
    for (; step > 0; step /= 2) {
        const int next = pos + step;
        if (next > size)
            continue;
        const int count = selected ? m_tree[next] : step - m_tree[next];
        if (count < remaining) {
            pos = next;
            remaining -= count;
        }
    }
    return pos;   // 0-based position of the found member
}

int TMemberList::ViewCount(int kind) const
{
    switch (kind) {
    case lkAll: return MemberCount();
    case lkAvailable: return MemberCount() - SelectedCount;
    case lkSelected: return SelectedCount;
    default: return 0;
    }
}

int TMemberList::MemberIndex(int kind, int n) const
{
    if (n < 0 || n >= ViewCount(kind) || n >= DisplayOrder.size())
        return -1;
    if (kind == lkAll)
        return DisplayOrder[n];
    if (kind == lkSelected && m_selectedValid)
        return m_selected[n];
    EnsureIndex();
    return DisplayOrder[FindNth(kind == lkSelected, n)];
}

bool TMemberList::FillListItem(int memberIndex, TMemberRow &row) const
{
    if (memberIndex < 0 || memberIndex >= MemberCount())
        return false;
    const TRosterRec &m = Members[memberIndex];
    row.ImageIndex = m.Gender.toUpper() == QLatin1String("F") ? 1 : 0;
    row.Caption = m.Name;
    row.SSN = SsnDisplayText(m.SSN);
    row.Rank = m.Rank;
    return true;
}

void TMemberList::SelectMember(int memberIndex)
{
    if (memberIndex < 0 || memberIndex >= MemberCount())
        return;
    TRosterRec &m = Members[memberIndex];
    if (m.Selected)
        return;
    m.Selected = true;
    ++SelectedCount;
    m_selectedValid = false;
    if (m_indexValid)
        TreeAdd(m_positionOf[memberIndex], +1);
}

void TMemberList::DeselectMember(int memberIndex)
{
    if (memberIndex < 0 || memberIndex >= MemberCount())
        return;
    TRosterRec &m = Members[memberIndex];
    if (!m.Selected)
        return;
    m.Selected = false;
    --SelectedCount;
    m_selectedValid = false;
    if (m_indexValid)
        TreeAdd(m_positionOf[memberIndex], -1);
}

void TMemberList::ClearSelection()
{
    for (TRosterRec &m : Members)
        m.Selected = false;
    SelectedCount = 0;
    InvalidateIndex();
}

void TMemberList::SelectAll()
{
    for (int i = 0; i < MemberCount(); ++i)
        SelectMember(i);
}

void TMemberList::SortByColumn(int column)
{
    if (column == SortColumn) {
        SortAscending = !SortAscending;
        if (ResortReversed())
            return;
    } else {
        SortColumn = quint8(column);
        SortAscending = true;
    }
    Sort();
}

void TMemberList::SetGroupByGender(bool value)
{
    GroupByGender = value;
    Sort();
}

bool TMemberList::MemberBefore(const TRosterRec &a, const TRosterRec &b) const
{
    // By the code page's character codes, upper case before lower case.
    if (GroupByGender && a.Gender != b.Gender)
        return a.Gender == QLatin1String("F");
    const QString *ka = nullptr;
    const QString *kb = nullptr;
    switch (SortColumn) {
    case 0: ka = &a.Name; kb = &b.Name; break;
    case 1: ka = &a.SSN; kb = &b.SSN; break;
    case 2: ka = &a.Rank; kb = &b.Rank; break;
    default: return false;
    }
    const int c = CompareSortText(*ka, *kb);
    return SortAscending ? c < 0 : c > 0;
}

bool TMemberList::KeyBefore(const TSortKey &a, const TSortKey &b) const
{
    // The same decision as MemberBefore, on keys kept next to each other in memory.
    if (GroupByGender && a.GenderId() != b.GenderId())
        return a.Female();
    if (SortColumn > 2)
        return false;
    int c;
    if (a.Prefix != b.Prefix)
        c = a.Prefix < b.Prefix ? -1 : 1;
    else if (a.Prefix2 != b.Prefix2)
        c = a.Prefix2 < b.Prefix2 ? -1 : 1;
    else
        c = CompareSortText(SortText(Members[a.Member]), SortText(Members[b.Member]), qMin(a.Exact(), b.Exact()));
    return SortAscending ? c < 0 : c > 0;
}

const QString &TMemberList::SortText(const TRosterRec &m) const
{
    return SortColumn == 1 ? m.SSN : SortColumn == 2 ? m.Rank : m.Name;
}

void TMemberList::Sort()
{
    const int n = int(DisplayOrder.size());
    if (n > 1) {
        // One small key per display position; the keys are sorted, then give the order.
        QList<TSortKey> keys(n);
        QHash<QString, int> genderIds;
        for (int p = 0; p < n; ++p) {
            const TRosterRec &m = Members[DisplayOrder[p]];
            const QString &text = SortText(m);
            // A weight past 254 does not fit a byte: the prefix ends there (255, then
            // zeros) and the comparison goes on from that character.
            quint64 prefix[2] = {0, 0};
            int exact = 0;
            bool cut = false;
            for (int k = 0; k < 16; ++k) {
                quint64 w = 0;
                if (!cut && k < text.size()) {
                    w = TextOrder::Weight(text.at(k).unicode());
                    if (w >= 255) {
                        w = 255;
                        cut = true;
                    } else {
                        ++exact;
                    }
                }
                prefix[k / 8] = (prefix[k / 8] << 8) | w;
            }
            auto g = genderIds.constFind(m.Gender);
            if (g == genderIds.constEnd())
                g = genderIds.insert(m.Gender, int(genderIds.size()));
            const quint32 female = m.Gender == QLatin1String("F") ? 1 : 0;
            keys[p] = {prefix[0], prefix[1], DisplayOrder[p], quint32(g.value()) << 6 | female << 5 | quint32(exact)};
        }
        PartitionSort(keys, 0, n - 1, [this](const TSortKey &a, const TSortKey &b) { return KeyBefore(a, b); });
        for (int p = 0; p < n; ++p)
            DisplayOrder[p] = keys[p].Member;
    }
    InvalidateIndex();
}

bool TMemberList::ResortReversed()
{
    // Under a strict weak order a sorted list holds equal members side by side. One pass
    // checks the order the last sort gave and numbers the runs of equal members along it;
    // the partition sort then runs on those numbers, which decide every comparison as the
    // member texts would, so equal members end exactly where a full sort puts them.
    const int n = int(DisplayOrder.size());
    if (n <= 1 || SortColumn > 2)
        return false;
    const bool wasAscending = !SortAscending;
    struct Key
    {
        quint32 Order;   // group (0 females first when grouping) << 31, then the run reversed
        int Member;
    };
    QList<Key> keys(n);
    const QString *otherGender = nullptr;
    quint32 group = 0;
    quint32 run = 0;
    bool ties = false;
    // The members lie in roster order and are visited in display order: ask for the records,
    // and then their texts, a little ahead, so that the waits for memory overlap.
    constexpr int kRecordAhead = 16, kTextAhead = 8;
    for (int p = 0; p < std::min(n, kRecordAhead); ++p)
        Prefetch(&std::as_const(Members)[DisplayOrder[p]]);
    for (int p = 0; p < std::min(n, kTextAhead); ++p)
        Prefetch(SortText(std::as_const(Members)[DisplayOrder[p]]).constData());
    for (int p = 0; p < n; ++p) {
        if (p + kRecordAhead < n)
            Prefetch(&std::as_const(Members)[DisplayOrder[p + kRecordAhead]]);
        if (p + kTextAhead < n)
            Prefetch(SortText(std::as_const(Members)[DisplayOrder[p + kTextAhead]]).constData());
        const TRosterRec &m = Members[DisplayOrder[p]];
        quint32 g = 0;
        if (GroupByGender && m.Gender != QLatin1String("F")) {
            // Two other genders compare equal to each other but not alike against a
            // third member: no strict order, so only the full sort knows the result.
            if (otherGender && *otherGender != m.Gender)
                return false;
            otherGender = &m.Gender;
            g = 1;
        }
        if (p > 0) {
            if (g < group)
                return false;
            if (g == group) {
                const int c = CompareSortText(SortText(Members[DisplayOrder[p - 1]]), SortText(m));
                if (wasAscending ? c > 0 : c < 0)
                    return false;
                if (c == 0)
                    ties = true;
                else
                    ++run;
            } else {
                ++run;
            }
        }
        group = g;
        keys[p] = {g << 31 | (0x7FFFFFFFu - run), DisplayOrder[p]};
    }
    if (!ties) {
        // One order only: each group backwards.
        int start = 0;
        for (int p = 1; p <= n; ++p)
            if (p == n || keys[p].Order >> 31 != keys[start].Order >> 31) {
                std::reverse(DisplayOrder.begin() + start, DisplayOrder.begin() + p);
                start = p;
            }
    } else {
        PartitionSort(keys, 0, n - 1, [](const Key &a, const Key &b) { return a.Order < b.Order; });
        for (int p = 0; p < n; ++p)
            DisplayOrder[p] = keys[p].Member;
    }
    InvalidateIndex();
    return true;
}

const QList<int> &TMemberList::SelectedIndexes() const
{
    if (!m_selectedValid) {
        m_selected.clear();
        m_selected.reserve(SelectedCount);
        for (int member : DisplayOrder)
            if (Members[member].Selected)
                m_selected.append(member);
        m_selectedValid = true;
    }
    return m_selected;
}

const TRosterRec &TMemberList::GetSelectedMember(int n) const
{
    // Callers walk the selection in order (numbering, printing, listing).
    static const TRosterRec none;
    if (n < 0 || n >= SelectedCount)
        return none;
    const QList<int> &selected = SelectedIndexes();
    return n < selected.size() ? Members[selected[n]] : none;
}

void TMemberList::SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber)
{
    if (n < 0 || n >= SelectedCount)
        return;
    const QList<int> &selected = SelectedIndexes();
    if (n >= selected.size())
        return;
    const int index = selected[n];
    Members[index].FormIndex = formIndex;
    Members[index].SpecimenNumber = specimenNumber;
}

const QStringList &PremiseEntries()
{
    static const QStringList entries = {
        QStringLiteral("Random Testing (IR)"),
        QStringLiteral("Unit Sweep (IU)"),
        QStringLiteral("Command Directed (CO)"),
        QStringLiteral("Probable Cause (PO)"),
        QStringLiteral("Consent (VO)"),
        QStringLiteral("Rehabilitation (RO)"),
        QStringLiteral("Mishap Investigation (AO)"),
        QStringLiteral("Medical Examination (MO)"),
        QStringLiteral("Inspection (IO)"),
        QStringLiteral("Accession Testing (NO)"),
        QStringLiteral("Other Testing (OO)"),
    };
    return entries;
}

QString PremiseCodeOf(const QString &premiseText)
{
    const int len = int(premiseText.size());
    if (len < 3)
        return premiseText.left(qMax(0, len - 1));
    return premiseText.mid(len - 3, 2);
}

namespace {
const char *const kLocations[] = {
    "AA ARUBA",
    "AC ANTIGUA AND BARBUDA",
    "AE UNITED ARAB EMIRATES",
    "AF AFGHANISTAN",
    "AG ALGERIA",
    "AJ AZERBAIJAN",
    "AL ALBANIA",
    "AM ARMENIA",
    "AN ANDORRA",
    "AO ANGOLA",
    "AQ AMERICAN SAMOA",
    "AR ARGENTINA",
    "AS AUSTRALIA",
    "AT ASHMORE AND CARTIER ISLANDS",
    "AU AUSTRIA",
    "AV ANGUILLA",
    "AY ANTARCTICA",
    "BA BAHRAIN",
    "BB BARBADOS",
    "BC BOTSWANA",
    "BD BERMUDA",
    "BE BELGIUM",
    "BF THE BAHAMAS",
    "BG BANGLEDESH",
    "BH BELIZE",
    "BK BOSNIA AND HERZEGOVINA",
    "BL BOLIVA",
    "BM BURMA",
    "BN BENIN",
    "BO BELARUS",
    "BP SOLOMON ISLANDS",
    "BQ NAVASSA ISLAND",
    "BR BRAZIL",
    "BS BASSAS DA INDIA",
    "BT BHUTAN",
    "BU BULGARIA",
    "BV BOUVET ISLAND",
    "BX BRUNEI",
    "BY BURUNDI",
    "CA CANADA",
    "CB CAMBODIA (FORMERLY KAMPUCHEA)",
    "CC CLASSIFIED",
    "CD CHAD",
    "CE SRI LANKA",
    "CF CONGO",
    "CG CONGO, DEMOCRATIC REPUBLIC OF THE",
    "CH CHINA",
    "CI CHILE",
    "CJ CAYMAN ISLANDS",
    "CK COCOS (KEELING) ISLANDS",
    "CM CAMEROON",
    "CN COMOROS",
    "CO COLOMBIA",
    "CQ NORTHERN MARIANA ISLANDS",
    "CR CORAL SEA ISLANDS",
    "CS COSTA RICA",
    "CT CENTRAL AFRICAN REPUBLIC",
    "CU CUBA",
    "CV CAPE VERDE (FORMERLY CAPE VERDE, REPUBLIC OF)",
    "CW COOK ISLANDS",
    "CY CYPRUS",
    "CZ CZECHOSLOVAKIA",
    "DA DENMARK",
    "DJ DJIBOUTI",
    "DO DOMINICA",
    "DQ JARVIS ISLAND",
    "DR DOMINICAN REPUBLIC",
    "EC ECUADOR",
    "EG EGYPT",
    "EI IRELAND",
    "EK EQUATORIAL GUINEA",
    "EN ESTONIA",
    "ER ERITREA",
    "ES EL SALVADOR",
    "ET ETHIOPIA",
    "EU EUROPA ISLAND",
    "EZ CZECH REPUBLIC",
    "FG FRENCH GUIANA",
    "FI FINLAND",
    "FJ FIJI",
    "FK FALKLAND ISLANDS (ISLAS MALVINAS)",
    "FM FEDERATED STATES OF MICRONESIA",
    "FO FAROE ISLANDS",
    "FP FRENCH POLYNESIA",
    "FQ BAKER ISLAND",
    "FR FRANCE",
    "FS FRENCH SOUTHERN AND ANTARCTIC LANDS",
    "GA GAMBIA, THE",
    "GB GABON",
    "GG GEORGIA",
    "GH GHANA",
    "GI GIBRALTAR",
    "GJ GRENADA",
    "GK GUERNSEY",
    "GL GREENLAND",
    "GM GERMANY",
    "GO GLORIOSO ISLANDS",
    "GP GUADELOUPE",
    "GQ GUAM",
    "GR GREECE",
    "GT GUATEMALA",
    "GV GUINEA",
    "GY GUYANA",
    "GZ GAZA STRIP",
    "HA HAITI",
    "HK HONG KONG",
    "HM HEARD ISLAND AND MCDONALD ISLANDS",
    "HO HONDURAS",
    "HQ HOWLAND ISLANDS",
    "HR CROATIA",
    "HU HUNGARY",
    "IC ICELAND",
    "ID INDONESIA",
    "IM ISLE OF MAN",
    "IN INDIA",
    "IO BRITISH INDIAN OCEAN TERRITORY",
    "IP CLIPPERTON ISLAND",
    "IR IRAN",
    "IS ISRAEL",
    "IT ITALY",
    "IV COTE D'IVOIRE",
    "IY IRAQ-SAUDI ARABIA NEUTRAL ZONE",
    "IZ IRAQ",
    "JA JAPAN (INCLUDES OKINAWA)",
    "JE JERSEY",
    "JM JAMAICA",
    "JN JAN MAYEN",
    "JO JORDAN",
    "JQ JOHNSTON ATOLL",
    "JU JUAN DE NOVA ISLAND",
    "KE KENYA",
    "KG KYRGYZSTAN",
    "KN KOREA, DEMOCRATIC PEOPLES REPUBLIC OF",
    "KQ KINGMAN REEF",
    "KR KIRIBATI",
    "KS KOREA, REPUBLIC OF",
    "KT CHRISTMAS ISLAND",
    "KU KUWAIT",
    "KZ KAZAKHSTAN",
    "LA LAOS",
    "LE LEBANON",
    "LG LATVIA",
    "LH LITHUANIA",
    "LI LIBERIA",
    "LO SLOVAKIA",
    "LQ PALMYRA ATOLL",
    "LS LIECHTENSTEIN",
    "LT LESOTHO",
    "LU LUXEMBOURG",
    "LY LIBYA",
    "MA MADAGASCAR",
    "MB MARTINIQUE",
    "MC MACAU",
    "MD MOLDOVA",
    "MF MAYOTTE",
    "MG MONGOLIA",
    "MH MONTSERRAT",
    "MI MALAWI",
    "MK MACEDONIA, THE FORMER REPUBLIC OF",
    "ML MALI",
    "MN MONACO",
    "MO MOROCCO",
    "MP MAURITIUS",
    "MQ MIDWAY ISLANDS",
    "MR MAURITANIA",
    "MT MALTA",
    "MU OMAN",
    "MV MALDIVES",
    "MW MONTENEGRO",
    "MX MEXICO",
    "MY MALAYSIA",
    "MZ MOZAMBIQUE",
    "NC NEW CALEDONIA",
    "ND NON-DEPLOYED",
    "NE NIUE",
    "NF NORFOLK ISLAND",
    "NG NIGER",
    "NH VANUATU",
    "NI NIGERIA",
    "NL NETHERLANDS",
    "NO NORWAY",
    "NP NEPAL",
    "NQ TRUST TERRITORIES OF THE PACIFIC (PRIOR TO MAY 94)",
    "NR NAURU",
    "NS SURINAME",
    "NT NETHERLANDS ANTILLES",
    "NU NICARAGUA",
    "NZ NEW ZEALAND",
    "OS OUT TO SEA",
    "PA PARAGUAY",
    "PC PITCAIRN ISLANDS",
    "PE PERU",
    "PF PARACEL ISLANDS",
    "PG SPRATLY ISLANDS",
    "PK PAKISTAN",
    "PL POLAND",
    "PM PANAMA",
    "PO PORTUGAL",
    "PP PAPUA NEW GUINEA",
    "PQ CANAL ZONE",
    "PS PALAU",
    "PU GUINEA-BISSAU",
    "QA QATAR",
    "RE REUNION",
    "RM MARSHALL ISLANDS",
    "RO ROMANIA",
    "RP PHILLIPINES",
    "RQ PUERTO RICO",
    "RS RUSSIA",
    "RW RWANDA",
    "SA SAUDI ARABIA",
    "SB ST. PIERRE AND MIQUELON",
    "SC ST. KITTS AND NEVIS",
    "SE SEYCHELLES",
    "SF SOUTH AFRICA",
    "SG SENEGAL",
    "SH ST. HELENA",
    "SI SLOVENIA",
    "SL SIERRA LEONE",
    "SM SAN MARINO",
    "SN SINGAPORE",
    "SO SOMALIA",
    "SP SPAIN",
    "SR SERBIA",
    "ST ST. LUCIA",
    "SU SUDAN",
    "SV SVALBARD",
    "SW SWEDEN",
    "SX SOUTH GEORGIA AND THE SOUTH SANDWICH ISLANDS",
    "SY SYRIA",
    "SZ SWITZERLAND",
    "TD TRINIDAD AND TOBAGO",
    "TE TROMELIN ISLAND",
    "TH THAILAND",
    "TI TAJIKISTAN",
    "TK TURKS AND CAICOS ISLANDS",
    "TL TOKELAU",
    "TN TONGA",
    "TO TOGO",
    "TP SAO TOME AND PRINCIPE",
    "TS TUNISIA",
    "TT EAST TIMOR",
    "TU TURKEY",
    "TV TUVALU",
    "TW TAIWAN (FORMERLY CHINA-TAIWAN)",
    "TX TURKMENISTAN",
    "TZ TANZANIA, UNITED REPUBLIC OF",
    "UG UGANDA",
    "UK UNITED KINGDOM",
    "UP UKRAINE",
    "US UNITED STATES",
    "UV BURKINA FASO",
    "UY URUGUAY",
    "UZ UZBEKISTAN",
    "VC ST. VINCENT AND THE GRENADINES",
    "VE VENEZUELA",
    "VI BRITISH VIRGIN ISLANDS",
    "VM VIETNAM",
    "VQ VIRGIN ISLANDS",
    "VT VATICAN CITY",
    "WA NAMIBIA",
    "WE WEST BANK",
    "WF WALLIS AND FUTUNA",
    "WI WESTERN SAHARA",
    "WQ WAKE ISLAND",
    "WS WESTERN SAMOA",
    "WZ SWAZILAND",
    "YI SERBIA AND MONTENEGRO",
    "YM YEMEN",
    "ZA ZAMBIA",
    "ZI ZIMBABWE",
    "ZZ OTHER",
};
} // namespace

const QStringList &LocationEntries()
{
    static const QStringList entries = [] {
        // These four are listed as they are; all others are padded for the fixed-pitch box.
        const QStringList unpadded = {"CC", "ND", "OS", "ZZ"};
        QStringList list;
        for (const char *entry : kLocations) {
            const QString text = QString::fromLatin1(entry);
            list << (unpadded.contains(text.left(2)) ? text : PadRight(text, QLatin1Char(' '), 100));
        }
        return list;
    }();
    return entries;
}

QString LocationCodeOf(const QString &locationText)
{
    return locationText.left(2);
}

void SelectByCount(TMemberList &list, const QString &countText)
{
    int k = StrToInt(countText);
    const int n = list.MemberCount();
    k = qMin(k, n);
    SeedRandom();
    while (list.SelectedCount < k) {
        const int r = RandomInt(n - list.SelectedCount);
        list.SelectMember(list.MemberIndex(lkAvailable, r));
    }
}

void SelectByProbability(TMemberList &list, const QString &countText,
                         const TRankProbability &rankProbability)
{
    const double p = StrToFloat(countText, QLocale::system());
    SeedRandom();
    const int n = list.MemberCount();
    for (int i = 0; i < n; ++i) {
        const double q = rankProbability ? rankProbability(p, list.Members[i].Rank) : p;
        const double u = RandomReal();
        if (u * 100.0 <= q)
            list.SelectMember(i);
    }
}

QList<int> DrawAlternates(const TMemberList &list, int count)
{
    QList<int> left;   // members not selected, in display order
    if (count > 0) {
        left.reserve(list.MemberCount() - list.SelectedCount);
        for (int member : list.DisplayOrder)
            if (!list.Members[member].Selected)
                left.append(member);
    }
    count = qMin(count, int(left.size()));
    QList<int> alternates;
    alternates.reserve(qMax(count, 0));
    while (alternates.size() < count)
        alternates.append(left.takeAt(RandomInt(int(left.size()))));
    return alternates;
}

TRankProbability RankProbabilityOf(const TServiceUtils *profile)
{
    if (!profile)
        return {};
    return [profile](double p, const QString &rank) { return profile->RankProbability(p, rank); };
}
