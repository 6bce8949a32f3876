#include "model/pretty_json_writer.h"

#include "model/json_error.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace tovik {

namespace {

void appendEscaped(QByteArray& out, QStringView text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xf];
            } else {
                out += c; // UTF-8 bytes of non-ASCII text pass through
            }
        }
    }
    out += '"';
}

// The shortest digits that read back to the same double, laid out like JavaScript's
// Number::toString (plain notation from 1e-6 up to 1e21, exponent notation outside), except
// that negative zero keeps its sign.
void appendShortest(QByteArray& out, double value) {
    char buffer[32];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view text(buffer, written.ptr - buffer); // [-]d[.ddd]e±xx
    if (text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
    }
    const std::size_t e = text.find('e');
    QByteArray digits;
    for (const char c : text.substr(0, e))
        if (c != '.')
            digits += c;
    std::string_view exponentText = text.substr(e + 1);
    if (exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    const int k = int(digits.size());
    const int n = exponent + 1; // value = 0.<digits> × 10^n
    if (k <= n && n <= 21) {
        out += digits + QByteArray(n - k, '0');
    } else if (0 < n && n <= 21) {
        out += digits.left(n) + '.' + digits.mid(n);
    } else if (-6 < n && n <= 0) {
        out += "0." + QByteArray(-n, '0') + digits;
    } else {
        out += digits.left(1);
        if (k > 1)
            out += '.' + digits.mid(1);
        out += n - 1 < 0 ? "e-" : "e+";
        out += QByteArray::number(std::abs(n - 1));
    }
}

QByteArray indentation(qsizetype depth) {
    return QByteArray(2 * depth, ' ');
}

} // namespace

void PrettyJsonWriter::name(QStringView name) {
    if (counts_.last()++ > 0)
        out_ += ',';
    out_ += '\n' + indentation(counts_.size());
    appendEscaped(out_, name);
    out_ += " : ";
    afterName_ = true;
}

void PrettyJsonWriter::string(QStringView text) {
    beginValue();
    appendEscaped(out_, text);
}

void PrettyJsonWriter::integer(qint64 value) {
    beginValue();
    out_ += QByteArray::number(value);
}

void PrettyJsonWriter::number(double value) {
    beginValue();
    if (std::isfinite(value))
        appendShortest(out_, value);
    else
        fail(Failure::of(JsonError::nonFinite));
}

void PrettyJsonWriter::fail(Failure failure) {
    if (!failure_)
        failure_ = std::move(failure);
}

Expected<QByteArray> PrettyJsonWriter::finish() const {
    if (failure_)
        return *failure_;
    return out_;
}

void PrettyJsonWriter::beginValue() {
    if (afterName_) {
        afterName_ = false;
    } else if (!counts_.isEmpty()) {
        if (counts_.last()++ > 0)
            out_ += ',';
        out_ += '\n' + indentation(counts_.size());
    }
}

void PrettyJsonWriter::open(char bracket) {
    beginValue();
    out_ += bracket;
    counts_.append(0);
}

void PrettyJsonWriter::close(char bracket) {
    if (counts_.takeLast() > 0)
        out_ += '\n' + indentation(counts_.size());
    out_ += bracket;
}

} // namespace tovik
