#pragma once
#include <QDate>
#include <QString>
#include <memory>

class TppReport;
class TppJITPipeline;
class TppImage;
class TppGroup;
class TppDBMemo;
class TppDBText;
class TppBarCode;
class TppLabel;
class TppSubReport;

// The front of the specimen custody document: one page per sheet, the blank form
// drawn behind the sheet's values and one row per member with its barcode.
class Trpt2624Front
{
public:
    Trpt2624Front();
    ~Trpt2624Front();
    Trpt2624Front(const Trpt2624Front &) = delete;
    Trpt2624Front &operator=(const Trpt2624Front &) = delete;

    // Binds the sheets and their members and prints (the preview returns when closed).
    void Print(TppJITPipeline *forms, TppJITPipeline *formMembers);

    // The sheet's header as its barcode carries it, for a service code.
    static QString SheetBarcodeData(int serviceCode, const QString &editionSuffix, const QDate &collected,
                                    const QString &batchNum, const QString &uic, const QString &bac,
                                    const QString &locationCode);
    static QString MemberBarcodeData(const QString &specimenNumber, const QString &ssn,
                                     const QString &premise, const QString &testInfo);
    static QString NoOthersText();
    // Blocks 1 and 2 of the form: their boxes, and the type sizes their text may take.
    static constexpr int BlockWidth[2] = {68527, 87577};
    static constexpr int BlockHeight = 12700;
    static constexpr double BlockLayoutSize = 9.0;
    static constexpr double BlockSmallestSize = 6.0;   // smaller is not read reliably on a laser print
    // Type size (points, 9 down to 6) at which a block's text fits its box; 6 when none does.
    static double BlockFontSize(const QString &text, int width, int height);
    // Printed lines of a text in a block at a size, and the lines the block holds at that size.
    static int BlockLinesNeeded(const QString &text, int width, double size);
    static int BlockLinesHeld(int height, double size);
    // Empty when the text of block 1 or 2 fits its block; otherwise the refusal, naming the block
    // and how much it holds.
    static QString BlockOverflowMessage(int block, const QString &text);
    // The sheet barcode may take the free strip up to here (band units), keeping clear of the
    // version label that stands in the same strip.
    static constexpr int SheetBarcodeRoomRight = 126000;

    std::unique_ptr<TppReport> pprpt2624Front;
    TppImage *Image1 = nullptr;
    TppGroup *Group1 = nullptr;
    TppDBMemo *dbmmBlock1 = nullptr;
    TppDBMemo *dbmmBlock2 = nullptr;
    TppDBText *dbtxtLocation = nullptr;
    TppDBText *dbtxtBAC = nullptr;
    TppDBText *dbtxtServiceDes = nullptr;
    TppDBText *dbtxtUIC = nullptr;
    TppDBText *dbtxtBatch = nullptr;
    TppDBText *dbtxtDateCollected = nullptr;
    TppBarCode *lblbcTopBarcode = nullptr;
    TppLabel *lblVersion = nullptr;
    TppDBText *lblFormID = nullptr;
    TppSubReport *srHistory = nullptr;
    TppLabel *lblNoOthers = nullptr;
    // member rows
    TppBarCode *lblBCSSNBarcode = nullptr;
    TppDBText *dbtxtSpecimenNumber = nullptr;
    TppDBText *dbtxtSSN = nullptr;
    TppDBText *dbtxtPremise = nullptr;
    TppDBText *dbtxtTestInfo = nullptr;

    void lblbcTopBarcodePrint();
    void lblBCSSNBarcodePrint();
    void lblVersionPrint();
    void lblNoOthersPrint();
    void pprpt2624FrontPreviewFormCreate();

private:
    void FitBlockText(TppDBMemo *memo);
    TppJITPipeline *m_forms = nullptr;
    TppJITPipeline *m_formMembers = nullptr;
};
