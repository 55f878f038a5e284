#pragma once
#include <QString>
#include <QtGlobal>

class TBatchManager;

// Every value by which the paperwork and the rules of a test differ between services.
// Read-only once constructed; readers take the field when they need it.
class TServiceUtils
{
public:
    TServiceUtils();
    virtual ~TServiceUtils();
    TServiceUtils(const TServiceUtils &) = delete;
    TServiceUtils &operator=(const TServiceUtils &) = delete;

    // Code printed in the "TESTINFO" field for a member's grade.
    virtual QString TestInfoCode(int grade) const;

    // The probability (per cent) with which a member of the given rank is drawn when the
    // user typed p per cent: listed ranks are raised to the rank minimum.
    double RankProbability(double p, const QString &rank) const;

    TBatchManager *BatchManager;   // owned
    quint8 ServiceCode = 0;
    QString HeaderText;
    bool ShowLabelBac = true;
    bool ShowUic = true;
    bool RankRequired = false;
    bool GenderRequired = false;
    QString BacCaption = QStringLiteral("BAC");
    QString UicCaption = QStringLiteral("UIC");
    int DefaultTestValue = 10;
    QString ServiceDesignator;
    bool AlternateRegister = false;
    QString RegisterLastColumnCaption = QStringLiteral("Comments and Disposition");
    QString DateFormat = QStringLiteral("MM/dd/yyyy");
    int CustodyLinesPerForm = 2;
    bool ShowLabelVersion = false;
    QString LabelLine1Caption = QStringLiteral("UPC");
    QString LabelLine2Caption = QStringLiteral("SM");
    QString LabelLine3Caption;
    bool MaskSsnOnNotification = false;
    bool UseLocationCode = true;
    bool LocationCodeRequired = true;
    bool UseRankMinimum = false;
    double RankMinimumProbability = 0.0;   // fraction: 0.25 is 25 per cent
    QString RankMinimumList;               // ranks each enclosed in '|'
    bool AllowTotalNumber = true;
    bool ShowUicField = true;
    bool ShowServiceDesignator = true;
};

class TArmyUtils : public TServiceUtils
{
public:
    TArmyUtils();
    QString TestInfoCode(int grade) const override;
};

// Grade handed to TestInfoCode for a member's rank: 1 for the junior enlisted ranks
// (compared upper-cased), 5 for every other rank, the empty one included.
int RankGrade(const QString &rank);

// The one profile of the running program, created first and freed last.
extern TServiceUtils *ServiceUtils;
