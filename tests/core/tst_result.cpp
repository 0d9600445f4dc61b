// The result type every module boundary reports its outcome with: a value, or an error and its message.
#include "core/Result.h"

#include <QTest>
#include <memory>

using namespace cw;

namespace {

Result<int> half(int number) {
    if (number % 2 != 0) {
        return Error{QStringLiteral("%1 is odd").arg(number)};
    }
    return number / 2;
}

/// An error that carries a code besides its message.
struct CodedError {
    int code = 0;
    QString message;
};

} // namespace

class TestResult : public QObject {
    Q_OBJECT

private slots:
    void aValueIsOkAndHasNoMessage() {
        const Result<int> result = half(10);
        QVERIFY(result.ok());
        QVERIFY(bool(result));
        QCOMPARE(result.value(), 5);
        QCOMPARE(result.valueOr(-1), 5);
        QVERIFY(result.message().isEmpty());
    }

    void anErrorKeepsItsMessageAndRefusesTheValue() {
        const Result<int> result = half(7);
        QVERIFY(!result.ok());
        QVERIFY(!bool(result));
        QCOMPARE(result.error(), Error{QStringLiteral("7 is odd")});
        QCOMPARE(result.message(), QStringLiteral("7 is odd"));
        QCOMPARE(result.valueOr(-1), -1);
        QVERIFY_THROWS_EXCEPTION(BadResultAccess, (void)result.value());
    }

    void aValueOfTheErrorsOwnTypeIsStillAValue() {
        const Result<QString> text = QStringLiteral("hello");
        QVERIFY(text.ok());
        QCOMPARE(text.value(), QStringLiteral("hello"));
        const Result<QString> failed = Error{QStringLiteral("no text")};
        QVERIFY(!failed.ok());
        QCOMPARE(failed.message(), QStringLiteral("no text"));
    }

    void aMoveOnlyValueCanBeTakenOut() {
        Result<std::unique_ptr<int>> result = std::make_unique<int>(3);
        const std::unique_ptr<int> taken = std::move(result).value();
        QVERIFY(taken);
        QCOMPARE(*taken, 3);
    }

    void anErrorTypeWithACodeKeepsBoth() {
        const Result<int, CodedError> result = CodedError{42, QStringLiteral("the answer is not a value")};
        QVERIFY(!result.ok());
        QCOMPARE(result.error().code, 42);
        QCOMPARE(result.message(), QStringLiteral("the answer is not a value"));
    }

    void aStatusIsDoneOrSaysWhyNot() {
        const Status done;
        QVERIFY(done.ok());
        QVERIFY(done.message().isEmpty());
        const Status refused = Error{QStringLiteral("refused")};
        QVERIFY(!refused.ok());
        QCOMPARE(refused.message(), QStringLiteral("refused"));
        QCOMPARE(refused.error().message, QStringLiteral("refused"));
    }
};

QTEST_MAIN(TestResult)
#include "tst_result.moc"
