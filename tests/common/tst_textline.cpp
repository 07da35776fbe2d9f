#include "TextLine.h"

#include <QtTest>

// The tokenizer and comment rules shared by configuration files, batch scripts and ITEX comments.
class TstTextLine : public QObject
{
    Q_OBJECT
private slots:
    void removeComment_data();
    void removeComment();
    void nextItem_data();
    void nextItem();
    void unbalancedQuotesWarn();
    void itemsAfter_data();
    void itemsAfter();
    void chopContinuation_data();
    void chopContinuation();
};

void TstTextLine::removeComment_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("blank");
    QTest::newRow("no comment") << "ct_threads 8" << "ct_threads 8" << false;
    QTest::newRow("trailing comment keeps blanks") << "key \"a b\" third  # note" << "key \"a b\" third  " << false;
    QTest::newRow("hash inside quotes") << "echo \"a # b\" # c" << "echo \"a # b\" " << false;
    QTest::newRow("hash inside apostrophes") << "echo 'a # b'" << "echo 'a # b'" << false;
    // The apostrophe switches the shared flag off, the closing quote on again: no comment.
    QTest::newRow("apostrophe inside double quotes") << "say \"it's\" # x" << "say \"it's\" # x" << false;
    QTest::newRow("comment only") << "  \t# all comment" << "  \t" << true;
    QTest::newRow("empty quotes are not blank") << "\"\"" << "\"\"" << false;
    QTest::newRow("empty") << "" << "" << true;
}

void TstTextLine::removeComment()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QFETCH(bool, blank);
    QCOMPARE(::removeComment(line), expected);
    QCOMPARE(isBlankLine(line), blank);
}

void TstTextLine::nextItem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("rest");
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("white space only") << " \t " << "" << "";
    QTest::newRow("plain word") << "  key value" << "key" << " value";
    QTest::newRow("last word") << "value" << "value" << "";
    QTest::newRow("quoted with blank") << "\"a b\" c" << "a b" << " c";
    QTest::newRow("quoted empty") << "\"\" c" << "" << " c";
    QTest::newRow("quoted then word, no blank") << "\"ab\"cd" << "ab" << "cd";
    QTest::newRow("quoted keeps hash") << "\"a#b\"" << "a#b" << "";
    QTest::newRow("unicode white space") << QString::fromUtf8("\u3000x\u00a0y") << "x" << QString::fromUtf8("\u00a0y");
}

void TstTextLine::nextItem()
{
    QFETCH(QString, text);
    QFETCH(QString, item);
    QFETCH(QString, rest);
    QString got;
    QCOMPARE(::nextItem(text, got), rest);
    QCOMPARE(got, item);
}

void TstTextLine::unbalancedQuotesWarn()
{
    QString item;
    QTest::ignoreMessage(QtDebugMsg, "In a line [ \"open to the end] item is started from quote but not ended by quote");
    QCOMPARE(::nextItem(" \"open to the end", item), QString());
    QCOMPARE(item, QString("open to the end"));

    QTest::ignoreMessage(QtDebugMsg, "In a line [word\" next] item is started from not quote but ended by quote");
    QCOMPARE(::nextItem("word\" next", item), QString(" next"));
    QCOMPARE(item, QString("word\""));
}

void TstTextLine::itemsAfter_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("two items") << "ct_threads 4 8" << "ct_threads" << QStringList{"4", "8"};
    QTest::newRow("trailing blank gives empty item") << "cmd a b " << "cmd" << QStringList{"a", "b", ""};
    QTest::newRow("quoted items") << "cmd \"x y\" \"\"" << "cmd" << QStringList{"x y", ""};
    QTest::newRow("nothing after") << "cmd" << "cmd" << QStringList{};
    QTest::newRow("value glued to key") << "Prop_ImageWidth=2048" << "Prop_ImageWidth=" << QStringList{"2048"};
    QTest::newRow("blank after key") << "Prop_ImageWidth= 2048" << "Prop_ImageWidth=" << QStringList{"2048"};
}

void TstTextLine::itemsAfter()
{
    QFETCH(QString, line);
    QFETCH(QString, prefix);
    QFETCH(QStringList, items);
    QCOMPARE(::itemsAfter(line, prefix), items);
}

void TstTextLine::chopContinuation_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("continued");
    QTest::addColumn<QString>("after");
    QTest::newRow("backslash at end") << "calc_exec \\" << true << "calc_exec ";
    QTest::newRow("backslash then blanks") << "a b\\  \t" << true << "a b";
    QTest::newRow("no backslash") << "a b" << false << "a b";
    QTest::newRow("backslash inside") << "a\\b" << false << "a\\b";
    QTest::newRow("blank line") << "   " << false << "   ";
}

void TstTextLine::chopContinuation()
{
    QFETCH(QString, line);
    QFETCH(bool, continued);
    QFETCH(QString, after);
    QCOMPARE(::chopContinuation(line), continued);
    QCOMPARE(line, after);
}

QTEST_APPLESS_MAIN(TstTextLine)
#include "tst_textline.moc"
