#pragma once

#include <QString>

namespace hondana {

// A book's ISBN, always held as the 13 digits of ISBN-13: that is what a barcode carries and
// what a look-up service and other catalogues' files agree on. An ISBN-10 typed from an older
// book is converted on entry, so one book never has two spellings of its number.
class Isbn {
public:
    Isbn() = default; // no ISBN

    // What a user typed or a scanner sent: ISBN-10 or ISBN-13, with or without hyphens and
    // blanks, full-width digits included. Refused with a Failure whose message says what is
    // wrong, among them the price barcode printed below the ISBN on Japanese books.
    static Isbn fromText(const QString &text);
    // Like fromText, for files and columns that may hold anything: no Failure, an empty Isbn.
    static Isbn tryFromText(const QString &text);

    bool isEmpty() const { return m_digits.isEmpty(); }
    QString digits() const { return m_digits; }
    // For reading aloud or comparing with the printed cover: 978-4-10-101001-6. Hyphens are
    // placed where the registration group's ranges are known (Japan's and English's at least);
    // elsewhere the 13 digits stand alone, since a wrong hyphen would misname the publisher.
    QString hyphenated() const;

    friend bool operator==(const Isbn &, const Isbn &) = default;

private:
    explicit Isbn(QString digits) : m_digits(std::move(digits)) {}

    QString m_digits;
};

} // namespace hondana
