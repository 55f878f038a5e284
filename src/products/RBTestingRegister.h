#pragma once
#include <QString>
#include <memory>

class TppReport;
class TppJITPipeline;
class TppImage;
class TppGroup;
class TppLabel;
class TppDBText;
class TppSystemVariable;
class TppLabel;

// The urinalysis testing register: one ruled page per sheet, one row per member.
class TrptTestingRegister
{
public:
    TrptTestingRegister();
    ~TrptTestingRegister();
    TrptTestingRegister(const TrptTestingRegister &) = delete;
    TrptTestingRegister &operator=(const TrptTestingRegister &) = delete;

    // Applies the profile's captions, formats and picture, binds the members and prints.
    // In the alternate register an unreadable picture raises before anything prints.
    void Print(TppJITPipeline *history);

    // Where the alternate register's picture is read from.
    static QString AlternatePicturePath();

    std::unique_ptr<TppReport> pprptTestingRegister;
    TppImage *Image = nullptr;
    TppGroup *Group1 = nullptr;
    TppLabel *Label1 = nullptr;
    TppLabel *Label2 = nullptr;
    TppSystemVariable *varDateTime = nullptr;
    TppDBText *lblDescription = nullptr;
    TppDBText *lblPremise = nullptr;
    TppDBText *lblFormID = nullptr;
    TppLabel *lblDateLine1 = nullptr;
    TppLabel *lblDateLine2 = nullptr;
    TppLabel *lblDateLine3 = nullptr;
    TppLabel *Label6 = nullptr;
    TppLabel *Label7 = nullptr;
    TppLabel *Label8 = nullptr;
    TppLabel *Label9 = nullptr;
    TppLabel *lblMemberTopInfo = nullptr;
    TppLabel *Label11 = nullptr;
    TppLabel *Label12 = nullptr;
    TppLabel *Label13 = nullptr;
    TppLabel *lblObserversBottomInfo = nullptr;
    TppLabel *lblFinalColumn = nullptr;
    TppLabel *lblAltSSN = nullptr;
    TppLabel *lblAltInit = nullptr;
    // detail row
    TppDBText *dbtxtDateCollected = nullptr;
    TppLabel *lblBatch = nullptr;
    TppDBText *dbtxtBatchNumber = nullptr;
    TppLabel *lblSpec = nullptr;
    TppDBText *dbtxtSpecimenNumber = nullptr;
    TppDBText *dbtxtRank = nullptr;
    TppDBText *dbtxtFullName = nullptr;
    TppDBText *dbtxtSSN = nullptr;
    TppDBText *dbtxtPremise = nullptr;

    void pprptTestingRegisterPreviewFormCreate();
};
