#include "TextLine.h"

#include <QtTest>

// The tokenizer and comment rules shared by configuration files, batch scripts and ITEX comments.
class TstTextLine : public QObject
{
    Q_OBJECT
private slots:
    // Each row: the function, its input ("prefix|line" for itemsAfter), what it gives with
    // its parts joined by '|', and the debug line it writes.
    void rules_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("warning");
        const auto row = [](const char *call, const QString &input, const QString &result, const char *warning = "") {
            QTest::addRow("%s [%s]", call, qPrintable(input)) << call << input << result << warning;
        };
        // removeComment: the text before the comment | isBlankLine
        row("removeComment", "ct_threads 8", "ct_threads 8|0");
        row("removeComment", "key \"a b\" third  # note", "key \"a b\" third  |0");
        row("removeComment", "echo \"a # b\" # c", "echo \"a # b\" |0");
        row("removeComment", "echo 'a # b'", "echo 'a # b'|0");
        // The apostrophe switches the shared flag off, the closing quote on again: no comment.
        row("removeComment", "say \"it's\" # x", "say \"it's\" # x|0");
        row("removeComment", "  \t# all comment", "  \t|1");
        row("removeComment", "\"\"", "\"\"|0");
        row("removeComment", "", "|1");
        // nextItem: item | rest
        row("nextItem", "", "|");
        row("nextItem", " \t ", "|");
        row("nextItem", "  key value", "key| value");
        row("nextItem", "value", "value|");
        row("nextItem", "\"a b\" c", "a b| c");
        row("nextItem", "\"\" c", "| c");
        row("nextItem", "\"ab\"cd", "ab|cd");
        row("nextItem", "\"a#b\"", "a#b|");
        row("nextItem", QString::fromUtf8("\u3000x\u00a0y"), QString::fromUtf8("x|\u00a0y"));
        row("nextItem", " \"open to the end", "open to the end|",
            "In a line [ \"open to the end] item is started from quote but not ended by quote");
        row("nextItem", "word\" next", "word\"| next", "In a line [word\" next] item is started from not quote but ended by quote");
        // itemsAfter: the items; a trailing blank gives an empty one
        row("itemsAfter", "ct_threads|ct_threads 4 8", "4|8");
        row("itemsAfter", "cmd|cmd a b ", "a|b|");
        row("itemsAfter", "cmd|cmd \"x y\" \"\"", "x y|");
        row("itemsAfter", "cmd|cmd", "");
        row("itemsAfter", "Prop_ImageWidth=|Prop_ImageWidth=2048", "2048");
        row("itemsAfter", "Prop_ImageWidth=|Prop_ImageWidth= 2048", "2048");
        // chopContinuation: the line after | whether it continues
        row("chopContinuation", "calc_exec \\", "calc_exec |1");
        row("chopContinuation", "a b\\  \t", "a b|1");
        row("chopContinuation", "a b", "a b|0");
        row("chopContinuation", "a\\b", "a\\b|0");
        row("chopContinuation", "   ", "   |0");
    }
    void rules()
    {
        QFETCH(QString, call);
        QFETCH(QString, input);
        QFETCH(QString, result);
        QFETCH(QString, warning);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, qPrintable(warning));
        QString got, item;
        if (call == "removeComment") {
            got = removeComment(input) + '|' + QString::number(isBlankLine(input));
        } else if (call == "nextItem") {
            const QString rest = nextItem(input, item);
            got = item + '|' + rest;
        } else if (call == "itemsAfter") {
            const QStringList items = itemsAfter(input.section('|', 1), input.section('|', 0, 0));
            QCOMPARE(items.size(), result.isEmpty() ? 0 : int(result.count('|')) + 1);
            got = items.join('|');
        } else {
            const bool continued = chopContinuation(input);
            got = input + '|' + QString::number(continued);
        }
        QCOMPARE(got, result);
    }
};

QTEST_APPLESS_MAIN(TstTextLine)
#include "tst_textline.moc"
