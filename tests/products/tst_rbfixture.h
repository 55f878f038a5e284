#pragma once
// A realistic test for the report forms: invented members split into sheets of twelve,
// the three pipelines the forms read, and helpers that look at the printed pages.
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "report/DrawCommands.h"
#include "report/Engine.h"
#include "report/Pipeline.h"
#include "report/ReportModel.h"

#include <QDate>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#ifdef HAVE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

namespace rbtest {

struct Member
{
    QString Name, SSN, Rank, Gender, Organization;
    int FormIndex = 0;
    QString SpecimenNumber;
};

struct Sheet
{
    int FirstMember = 0;
    int MemberCount = 0;
    QString BatchNumber;
};

// The Army profile as ServiceUtils from Install() to Remove(), a test's init and cleanup: each
// test starts from a new profile, whatever the one before changed in its own. A test may point
// AppRootDir elsewhere; Remove() puts it back.
class ArmyProfile
{
public:
    void Install()
    {
        m_profile = std::make_unique<TArmyUtils>();
        ServiceUtils = m_profile.get();
        m_rootDir = AppRootDir;
    }
    void Remove()
    {
        ServiceUtils = nullptr;
        m_profile.reset();
        AppRootDir = m_rootDir;
    }
    TArmyUtils *operator->() const { return m_profile.get(); }
    TArmyUtils &operator*() const { return *m_profile; }

private:
    std::unique_ptr<TArmyUtils> m_profile;
    QString m_rootDir;
};

inline QString TestInfoOf(const QString &rank)
{
    return ServiceUtils ? ServiceUtils->TestInfoCode(RankGrade(rank)) : QString();
}

// Members numbered into sheets the way the print page does it, and the pipelines over them.
class TestRun
{
public:
    explicit TestRun(int memberCount, int startBatch = 1)
    {
        static const char *last[] = {"ADAMS", "BAKER", "CLARK", "DAVIS", "EVANS", "FOSTER", "GARCIA",
                                     "HUGHES", "IRWIN", "JONES", "KELLY", "LOPEZ", "MILLER"};
        static const char *first[] = {"JOHN", "MARY", "ROBERT", "LINDA", "JAMES", "SUSAN", "PAUL"};
        static const char *ranks[] = {"PVT", "SGT", "SPC", "CPT", "PFC", "SSG", "PV2", "1LT"};
        for (int i = 0; i < memberCount; ++i) {
            Member m;
            m.Name = QStringLiteral("%1, %2 %3.").arg(QLatin1String(last[i % 13]), QLatin1String(first[i % 7]))
                         .arg(QChar('A' + i % 26));
            m.SSN = QString::number(123456789 + i * 1013);
            m.Rank = QLatin1String(ranks[i % 8]);
            m.Gender = i % 3 == 0 ? QStringLiteral("F") : QStringLiteral("M");
            m.Organization = i < 20 ? QStringLiteral("A CO 1-5 IN") : QStringLiteral("B CO 1-5 IN");
            Members.append(m);
        }
        int batch = startBatch;
        for (int i = 0; i < Members.size(); ++i) {
            if (Sheets.isEmpty() || Sheets.last().MemberCount == 12) {
                if (!Sheets.isEmpty())
                    batch = batch >= 999 ? 1 : batch + 1;
                Sheets.append({i, 0, PadLeft(QString::number(batch), QLatin1Char('0'), 4)});
            }
            Sheets.last().MemberCount++;
            Members[i].FormIndex = int(Sheets.size()) - 1;
            Members[i].SpecimenNumber = PadLeft(QString::number(Sheets.last().MemberCount), QLatin1Char('0'), 3);
        }
        setUp();
    }

    QList<Member> Members;
    QList<Sheet> Sheets;
    QDate Collected = QDate(2003, 1, 15);
    QString BAC = QStringLiteral("HQ");
    QString UIC = QStringLiteral("AB1CD");
    QString Block1 = QStringLiteral("HQ, 1ST BN, 5TH INF\r\nFORT EXAMPLE, VA 22000");
    QString Block2 = QStringLiteral("1ST BRIGADE COMBAT TEAM");
    QString Location = QStringLiteral("US");
    QString Premise = QStringLiteral("IR");

    TppJITPipeline Forms{QStringLiteral("Forms")};
    TppJITPipeline FormMembers{QStringLiteral("FormMembers")};
    TppJITPipeline History{QStringLiteral("History1")};

    double Serial() const { return SerialFromDateTime(QDateTime(Collected, QTime(0, 0))); }

    QVariant FormsValue(const QString &field) const
    {
        const int s = Forms.RecordIndex();
        const Sheet &sh = Sheets.at(s);
        const QString f = field.toUpper();
        if (f == "ID") return s;
        if (f == "DATECOLLECTED") return Serial();
        if (f == "BATCHNUM") return sh.BatchNumber;
        if (f == "UIC") return UIC;
        if (f == "BAC") return BAC;
        if (f == "DD2624BLK1") return Block1;
        if (f == "DD2624BLK2") return Block2;
        if (f == "SERVICEDESIGNATOR") return ServiceUtils ? ServiceUtils->ServiceDesignator : QString();
        if (f == "LOCATIONCODE") return Location;
        return QString();
    }
    QVariant MemberValue(int i, const QString &field, bool history) const
    {
        const Member &m = Members.at(i);
        const QString f = field.toUpper();
        if (f == "SPECIMENNUMBER") return m.SpecimenNumber;
        if (f == "SSN") return m.SSN;
        if (f == "PREMISE") return Premise;
        if (f == "TESTINFO") return TestInfoOf(m.Rank);
        if (f == "BATCHNUMBER")
            return history ? Sheets.at(m.FormIndex).BatchNumber : Sheets.at(Forms.RecordIndex()).BatchNumber;
        if (f == "DATECOLLECTED") return Serial();
        if (f == "FULLNAME") return m.Name;
        if (f == "RANK") return m.Rank;
        if (f == "FORMID") return m.FormIndex;
        if (!history) return QString();
        if (f == "FULLPOOLNAME" || f == "DESCRIPTION") return m.Organization;
        if (f == "GENDER") return m.Gender;
        if (f == "LABELVERSION") return 0;
        if (f == "UIC") return UIC;
        if (f == "BAC") return BAC;
        if (f == "DATETOCOLLECT") return Serial();
        return QString();
    }

private:
    static QString Text(const QVariant &v) { return v.typeId() == QMetaType::Double ? QString::number(v.toDouble()) : v.toString(); }

    void setUp()
    {
        Forms.AddField("ID", dtInteger, 10);
        Forms.AddField("DateCollected", dtDateTime, 10);
        for (const char *n : {"BatchNum", "UIC", "BAC", "DD2624Blk1", "DD2624Blk2", "ServiceDesignator", "locationCode"})
            Forms.AddField(QLatin1String(n), dtString, 10);
        for (TppJITPipeline *p : {&FormMembers, &History}) {
            for (const char *n : {"SpecimenNumber", "SSN", "Premise", "TestInfo", "BatchNumber"})
                p->AddField(QLatin1String(n), dtString, 10);
            p->AddField("DateCollected", dtDateTime, 10);
            p->AddField("FullName", dtString, 10);
            p->AddField("Rank", dtString, 10);
        }
        FormMembers.AddField("FormID", dtInteger, 10);
        for (const char *n : {"FullPoolName", "Gender"})
            History.AddField(QLatin1String(n), dtString, 10);
        History.AddField("LabelVersion", dtInteger, 10);
        for (const char *n : {"UIC", "BAC", "Description"})
            History.AddField(QLatin1String(n), dtString, 10);
        History.AddField("FormID", dtInteger, 10);
        History.AddField("DateToCollect", dtDateTime, 10);

        Forms.RecordCount = int(Sheets.size());
        FormMembers.RecordCount = int(Members.size());
        History.RecordCount = int(Members.size());
        Forms.OnGetFieldValue = [this](const QString &f) { return FormsValue(f); };
        Forms.OnGetFieldAsString = [this](const QString &f) { return Text(FormsValue(f)); };
        Forms.OnGetFieldAsDouble = [this](const QString &f) { return FormsValue(f).toDouble(); };
        FormMembers.OnGetFieldValue = [this](const QString &f) { return MemberValue(FormMembers.RecordIndex(), f, false); };
        FormMembers.OnGetFieldAsString = [this](const QString &f) { return Text(MemberValue(FormMembers.RecordIndex(), f, false)); };
        FormMembers.OnGetFieldAsDouble = [this](const QString &f) { return MemberValue(FormMembers.RecordIndex(), f, false).toDouble(); };
        History.OnGetFieldValue = [this](const QString &f) { return MemberValue(History.RecordIndex(), f, true); };
        History.OnGetFieldAsString = [this](const QString &f) { return Text(MemberValue(History.RecordIndex(), f, true)); };
        History.OnGetFieldAsDouble = [this](const QString &f) { return MemberValue(History.RecordIndex(), f, true).toDouble(); };
        FormMembers.MasterFieldLinks = {{QStringLiteral("ID"), QStringLiteral("FormID"), soAscending}};
        FormMembers.SetMasterDataPipeline(&Forms);
    }
};

// Every document a report hands to the preview, and the preview settings it asked for.
class PreviewCapture
{
public:
    PreviewCapture()
    {
        SetPreviewHandler([this](TppReport &report, TppDocument &doc) {
            Documents.append(doc);
            Settings.append(report.PreviewFormSettings);
        });
    }
    ~PreviewCapture() { SetPreviewHandler(nullptr); }
    QList<TppDocument> Documents;
    QList<TppPreviewFormSettings> Settings;
};

template<class T>
QList<const T *> Commands(const TppPage &page, const QString &component = QString())
{
    QList<const T *> out;
    for (const auto &c : page.Commands) {
        const T *t = dynamic_cast<const T *>(c.get());
        if (t && (component.isEmpty() || t->ComponentName == component))
            out.append(t);
    }
    return out;
}

inline QString ShownText(const TppDrawText *t)
{
    return t->Lines.isEmpty() ? t->Text : t->Lines.join(QLatin1Char('\n'));
}

inline QStringList Texts(const TppPage &page, const QString &component)
{
    QStringList out;
    for (const TppDrawText *t : Commands<TppDrawText>(page, component))
        out.append(ShownText(t));
    return out;
}

inline QRect Rect(const TppDrawCommand *c)
{
    return QRect(c->mmLeft, c->mmTop, c->mmWidth, c->mmHeight);
}

// Texts wider than their box: the preview cuts them at the box's edge.
inline QStringList Overflowing(const TppPage &page)
{
    QStringList out;
    for (const auto &c : page.Commands) {
        if (c->ClassName() != QLatin1String("TppDrawText"))
            continue;   // turned texts run along their box's height
        const auto *t = static_cast<const TppDrawText *>(c.get());
        const QStringList lines = t->Lines.isEmpty() ? QStringList{t->Text} : t->Lines;
        for (const QString &line : lines)
            if (TppPrintContext::TextWidth(t->Font, line.trimmed()) > t->mmWidth + 50)
                out << t->ComponentName + ": " + line;
    }
    return out;
}

// Decodes one barcode of a rendered page: its box and a quiet zone around it, at 300 dpi.
inline QString DecodeBarcode(const QImage &page300, const TppDrawBarCode *bc)
{
#ifdef HAVE_ZXING
    const double k = 300.0 / 25400.0;
    const int quiet = 3000;
    QRect r(int((bc->mmLeft - quiet) * k), int((bc->mmTop - quiet) * k), int((bc->mmWidth + 2 * quiet) * k),
            int((bc->mmHeight + 2 * quiet) * k));
    r = r.intersected(page300.rect());
    QImage crop = page300.copy(r).convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128);
    hints.setTryRotate(true);
    hints.setTryHarder(true);
    const ZXing::ImageView view(crop.constBits(), crop.width(), crop.height(), ZXing::ImageFormat::Lum,
                                int(crop.bytesPerLine()));
    const ZXing::Result res = ZXing::ReadBarcode(view, hints);
    if (!res.isValid())
        return QStringLiteral("<no barcode>");
    return QString::fromStdString(res.text());
#else
    Q_UNUSED(page300);
    return bc->Data;
#endif
}

// Each barcode of the page decoded, in the order the page holds them.
inline QStringList DecodeAll(const TppPage &page, const QString &component = QString())
{
    const QImage img = RenderPageToImage(page, 300, TppDeviceKind::Printer, QImage::Format_Grayscale8);
    QStringList out;
    for (const TppDrawBarCode *bc : Commands<TppDrawBarCode>(page, component))
        out.append(DecodeBarcode(img, bc));
    return out;
}

} // namespace rbtest
