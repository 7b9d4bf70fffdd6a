#include "store/SecretStore.h"

#include <QPointer>
#include <QTimer>

void SecretStore::answerLater(const QObject *receiver, std::function<void()> answer)
{
    QTimer::singleShot(0, [guard = QPointer<const QObject>(receiver), hasReceiver = receiver != nullptr,
                           answer = std::move(answer)] {
        if (!hasReceiver || guard)
            answer();
    });
}
