#pragma once
#include <QString>
#include <QByteArray>
#include <QLocale>
#include <exception>

// An error that carries its user-facing message; the top-level action handler shows it.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Text-to-number conversion failure, with the platform's wording.
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};

// Strict conversions used wherever a text becomes a number.
// Leading blanks are allowed, as are a sign and, for integers, '$' or '0x' hexadecimal;
// anything else (trailing text, empty text, out of 32-bit range) raises EConvertError:
// "'%s' is not a valid integer value".
int StrToInt(const QString &text);
bool TryStrToInt(const QString &text, int &value);
// Floating point in the given locale's decimal separator (the user's locale by default);
// blanks around the number are allowed. Failure: "'%s' is not a valid floating point value".
double StrToFloat(const QString &text, const QLocale &locale = QLocale::system());
bool TryStrToFloat(const QString &text, double &value, const QLocale &locale = QLocale::system());
