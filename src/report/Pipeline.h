#pragma once
// Just-in-time data pipelines: a data source without storage. The program answers field
// requests through handlers for the record at the pipeline's current index.
//
// Dates at the pipeline boundary: an OnGetFieldValue handler answers a dtDateTime field with a
// double (days since 30 December 1899, fraction = time of day). A QDate or QDateTime is accepted
// as well; data texts with a date display format handle all three.
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

enum TppDataType { dtString, dtInteger, dtDateTime, dtDouble, dtBoolean };
enum TppSortOrder { soAscending, soDescending };

struct TppField
{
    QString FieldName;
    QString FieldAlias;
    int FieldLength = 0;
    TppDataType DataType = dtString;
    int Position = 0;
};

struct TppMasterFieldLink
{
    QString MasterFieldName;
    QString DetailFieldName;
    TppSortOrder DetailSortOrder = soAscending;
};

class TppDataPipeline
{
public:
    virtual ~TppDataPipeline() = default;

    QString UserName;
    QList<TppField> Fields;
    QList<TppMasterFieldLink> MasterFieldLinks;

    // Field list helpers; names are matched without regard to case.
    TppField &AddField(const QString &name, TppDataType type = dtString, int length = 0);
    const TppField *FindField(const QString &name) const;

    // Navigation as the engine drives it.
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void First() = 0;
    virtual void Last() = 0;
    virtual void Next() { MoveBy(1); }
    virtual void Prior() { MoveBy(-1); }
    virtual void MoveBy(int n) = 0;          // traverse by n
    virtual bool Active() const = 0;
    virtual bool Bof() const = 0;
    virtual bool Eof() const = 0;
    virtual int RecordIndex() const = 0;
    virtual void SetRecordIndex(int index) = 0;   // clamped like every move
    virtual bool IsEmpty() const = 0;             // no record at all

    // Field access for the current record.
    virtual QVariant GetFieldValue(const QString &fieldName) = 0;
    virtual QString GetFieldAsString(const QString &fieldName) = 0;
    virtual double GetFieldAsDouble(const QString &fieldName) = 0;
    TppDataType FieldDataType(const QString &fieldName) const;

    // Master-detail: the detail pipeline walks the records whose detail field equals the
    // master field's value on the master's current record.
    TppDataPipeline *MasterDataPipeline = nullptr;
    void SetMasterDataPipeline(TppDataPipeline *master) { MasterDataPipeline = master; }
};

class TppJITPipeline : public TppDataPipeline
{
public:
    TppJITPipeline() = default;
    explicit TppJITPipeline(const QString &userName) { UserName = userName; }

    int InitialIndex = 0;
    int RecordCount = 99999999;

    std::function<QVariant(const QString &fieldName)> OnGetFieldValue;
    std::function<QString(const QString &fieldName)> OnGetFieldAsString;
    std::function<double(const QString &fieldName)> OnGetFieldAsDouble;

    void Open() override;
    void Close() override;
    void First() override;
    void Last() override;
    void MoveBy(int n) override;
    bool Active() const override { return m_active; }
    bool Bof() const override { return m_bof; }
    bool Eof() const override { return m_eof; }
    int RecordIndex() const override { return m_index; }
    void SetRecordIndex(int index) override;
    bool IsEmpty() const override { return RecordCount <= 0; }

    QVariant GetFieldValue(const QString &fieldName) override;
    QString GetFieldAsString(const QString &fieldName) override;
    double GetFieldAsDouble(const QString &fieldName) override;

    int LastIndex() const { return InitialIndex + RecordCount - 1; }

private:
    void clamp();
    bool m_active = false;
    bool m_bof = false;
    bool m_eof = false;
    int m_index = 0;
};

// Text of a variant by a field's data type (used when no string handler answers).
QString VariantToFieldText(const QVariant &value, TppDataType type);

// Date serials (days since 1899-12-30) and back.
QDateTime DateTimeFromSerial(double serial);
// The calendar date of a serial date, without a local-time conversion.
QDate DateFromSerial(double serial);
double SerialFromDateTime(const QDateTime &dt);
// A value that denotes a date: QDate, QDateTime, or (for dtDateTime fields) a number.
bool VariantToDateTime(const QVariant &value, TppDataType type, QDateTime &out);
