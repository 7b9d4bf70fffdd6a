// Times whole sign-ins in process against a portal on loopback (page fetch, form post, parsed
// answer, published outcome) and prints the median and the 95th percentile.
// Usage: bench_login [count]   (default 300)
#include "LocalHttpServer.h"
#include "auth/HTTPAuthService.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <httplib.h>

#include <algorithm>
#include <vector>

namespace {
double percentile(std::vector<double> sorted, double share)
{
    const size_t index = std::min(sorted.size() - 1, size_t(share * double(sorted.size() - 1) + 0.5));
    return sorted[index];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = qMax(200, QCoreApplication::arguments().value(1).toInt());
    Log::setSink([](const QString &) {}); // keep the benchmark's lines out of the journal

    LocalHttpServer portal;
    portal.server().Get("/ac_portal/default/pc.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "PHPSESSID=bench; Path=/");
        res.set_content("<!DOCTYPE html><html><script src=\"/ac_portal/pc.js\"></script></html>",
                        "text/html");
    });
    portal.server().Post("/ac_portal/login.php", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("{'success':true,'msg':'认证成功'}", "text/html");
    });
    if (!portal.start())
        return 1;

    NotificationCenter center;
    HTTPAuthService service(portal.address(), center, {});
    std::vector<double> millis;
    QElapsedTimer timer;
    const auto next = [&] {
        timer.start();
        service.login(QStringLiteral("bench"), QStringLiteral("bench-password"));
    };
    center.addObserver(Notifications::LoginFailed, [](const QVariantMap &info) {
        QTextStream(stderr) << "sign-in failed: " << info.value(Notifications::MessageKey).toString() << "\n";
        QCoreApplication::exit(1);
    });
    center.addObserver(Notifications::LoginSuccess, [&](const QVariantMap &) {
        millis.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (int(millis.size()) == count)
            QCoreApplication::exit(0);
        else
            next(); // the next sign-in starts from the loop, never nested inside this one
    });
    next();
    if (QCoreApplication::exec() != 0)
        return 1;

    std::sort(millis.begin(), millis.end());
    QTextStream(stdout) << "sign-ins: " << count << "\n"
                        << "median: " << QString::number(percentile(millis, 0.5), 'f', 2) << " ms\n"
                        << "p95:    " << QString::number(percentile(millis, 0.95), 'f', 2) << " ms\n"
                        << "min:    " << QString::number(millis.front(), 'f', 2) << " ms\n"
                        << "max:    " << QString::number(millis.back(), 'f', 2) << " ms\n";
    return 0;
}
