#include "products/RB2624Back.h"
#include "products/ReportForms.h"
#include "products/RBFormPicture.h"

#include "app/ServiceUtilsUnit.h"
#include "report/ReportModel.h"

namespace {
const QString Arial = QStringLiteral("Arial");

int LinesPerForm()
{
    return ServiceUtils ? ServiceUtils->CustodyLinesPerForm : 2;
}
} // namespace

Trpt2624Back::Trpt2624Back()
    : pprpt2624Back(std::make_unique<TppReport>())
    , JITPipeline(QStringLiteral("JITPipeline"))
{
    JITPipeline.InitialIndex = 0;
    JITPipeline.AddField(QStringLiteral("FormID"), dtInteger, 10);
    JITPipeline.AddField(QStringLiteral("Date"), dtString, 10);
    JITPipeline.AddField(QStringLiteral("Released"), dtString, 10);
    JITPipeline.AddField(QStringLiteral("Received"), dtString, 10);
    JITPipeline.AddField(QStringLiteral("Remarks"), dtString, 10);
    JITPipeline.OnGetFieldValue = [this](const QString &f) { return JITPipelineGetFieldValue(f); };
    JITPipeline.OnGetFieldAsString = [this](const QString &f) { return JITPipelineGetFieldAsString(f); };

    TppReport *r = pprpt2624Back.get();
    r->UserName = QStringLiteral("pprpt2624Back");
    r->PrinterSetup = LetterSetup(poLandscape);
    r->AutoStop = false;
    r->SetDataPipeline(&JITPipeline);
    r->OnPreviewFormCreate = [this] { pprpt2624BackPreviewFormCreate(); };

    Image = addImage(r->PageStyle(), QStringLiteral("Image"), 0, 0, 262467, 198702, QString(), false, true);
    Image->Stretch = false;
    Image->AutoSize = true;
    TFormPicture picture;
    picture.LoadFromResource(QStringLiteral(":/products/resources/dd2624back"));
    picture.Apply(Image);

    // pushes custody line (1) down to the form's first line
    r->Header()->mmHeight = 12700;

    TppBand *detail = r->Detail();
    detail->UserName = QStringLiteral("dbDetails");
    detail->mmHeight = 18288;
    txtDate = addDBText(detail, QStringLiteral("txtDate"), 2117, 8467, 16933, 3969, QStringLiteral("Date"),
                        ppFont(Arial, 10, 0, Qt::black));
    mmReleased = addDBMemo(detail, QStringLiteral("mmReleased"), 23284, 11642, 46302, 6615,
                           QStringLiteral("Released"), ppFont(Arial, 8, 0, Qt::black));
    mmReceived = addDBMemo(detail, QStringLiteral("mmReceived"), 72497, 11641, 43127, 6614,
                           QStringLiteral("Received"), ppFont(Arial, 8, 0, Qt::black));
    mmRemarks = addDBMemo(detail, QStringLiteral("mmRemarks"), 118799, 297, 38100, 17992,
                          QStringLiteral("Remarks"), ppFont(Arial, 8, 0, Qt::black));
    for (TppDBMemo *m : {mmReleased, mmReceived, mmRemarks})
        m->Stretch = false;   // a custody line is one line of the printed form

    Group1 = r->AddGroup(QStringLiteral("Group1"), QStringLiteral("FormID"), btDataField, true);
    Group1->DataPipeline = &JITPipeline;
    Group1->Header()->mmHeight = 0;
    Group1->Footer()->mmHeight = 0;
}

Trpt2624Back::~Trpt2624Back() = default;

QString Trpt2624Back::CustodyDateText(const QDateTime &date)
{
    // a zero date (30 December 1899) or none at all leaves the column for hand entry
    if (!date.isValid() || date.date() == QDate(1899, 12, 30))
        return QString();
    return date.date().toString(QStringLiteral("yyMMdd"));
}

QVariant Trpt2624Back::JITPipelineGetFieldValue(const QString &fieldName)
{
    const int m = LinesPerForm();
    const int r = JITPipeline.RecordIndex();
    const QString name = fieldName.toUpper();
    if (name == QLatin1String("FORMID"))
        return m > 0 ? r / m : r;
    const int k = m > 0 ? r % m : 0;
    if (!m_lines || k >= m_lines->size())
        return QString();
    const TDD2624BackLine &line = m_lines->at(k);
    if (name == QLatin1String("DATE"))
        return CustodyDateText(line.DateTime);
    if (name == QLatin1String("RELEASED"))
        return line.ReleasedBy;
    if (name == QLatin1String("RECEIVED"))
        return line.ReceivedBy;
    if (name == QLatin1String("REMARKS"))
        return line.Remarks;
    return QString();
}

QString Trpt2624Back::JITPipelineGetFieldAsString(const QString &fieldName)
{
    return JITPipelineGetFieldValue(fieldName).toString();
}

void Trpt2624Back::pprpt2624BackPreviewFormCreate()
{
    PreviewMaximizedAt100(*pprpt2624Back);
}

void Trpt2624Back::Print(int sheetCount, const TDD2624BackLines &lines)
{
    m_lines = &lines;
    JITPipeline.RecordCount = std::max(0, sheetCount) * LinesPerForm();
    try {
        pprpt2624Back->Print();
    } catch (...) {
        m_lines = nullptr;
        throw;
    }
    m_lines = nullptr;
}
