#include "ServiceUtilsUnit.h"

#include "products/BatchManager.h"

#include <QStringList>
#include <algorithm>

TServiceUtils *ServiceUtils = nullptr;

TServiceUtils::TServiceUtils()
    : BatchManager(new TBatchManager)
{
    // Order matters: the minimum raises the still empty current batch to 1.
    BatchManager->SetMaxBatch(999);
    BatchManager->SetMinBatch(1);
    BatchManager->UsePrefix = false;
}

TServiceUtils::~TServiceUtils()
{
    delete BatchManager;
}

QString TServiceUtils::TestInfoCode(int) const
{
    return QString();
}

double TServiceUtils::RankProbability(double p, const QString &rank) const
{
    if (UseRankMinimum
        && RankMinimumList.contains(QLatin1Char('|') + rank.toUpper() + QLatin1Char('|'),
                                    Qt::CaseSensitive))
        return std::max(p, RankMinimumProbability * 100.0);
    return p;
}

TArmyUtils::TArmyUtils()
{
    ServiceCode = 1;
    HeaderText = QStringLiteral("Army Corvane");
    RankRequired = true;
    GenderRequired = true;
    ServiceDesignator = QStringLiteral("W");
    LabelLine1Caption = QStringLiteral("UPL");
}

QString TArmyUtils::TestInfoCode(int grade) const
{
    return grade > 4 ? QStringLiteral("B") : QStringLiteral("A");
}

int RankGrade(const QString &rank)
{
    static const QStringList junior = {QStringLiteral("PVT"), QStringLiteral("PV2"),
                                       QStringLiteral("PFC"), QStringLiteral("CPL"),
                                       QStringLiteral("SPC")};
    return junior.contains(rank.toUpper()) ? 1 : 5;
}
