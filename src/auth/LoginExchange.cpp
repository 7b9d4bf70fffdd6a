#include "auth/LoginExchange.h"

#include "auth/LoginForm.h"
#include "auth/PortalAnswerParser.h"
#include "auth/PortalRequest.h"
#include "auth/ResponseLimits.h"
#include "auth/VPNDetector.h"
#include "common/Log.h"

#include <QNetworkCookieJar>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// The portal only answers as it answers its own page in a browser, so the requests look like one.
const QByteArray userAgent =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/17.0 Safari/605.1.15";
const QByteArray pageAccept = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
const QByteArray loginAccept = "*/*";
const QByteArray acceptLanguage = "en-US,en;q=0.9";
const QByteArray formContentType = "application/x-www-form-urlencoded; charset=UTF-8";
const QByteArray ajaxMarker = "XMLHttpRequest";
const QByteArray setCookieHeader = "set-cookie";

// The page's script sets this cookie before it posts the form; the portal checks for it.
const QByteArray loginInfoCookieName = "ac_login_info";
const QByteArray loginInfoCookieValue = "passwork";

const QString redirectBlockedLog = QStringLiteral("⚠️ 重定向被拦截: ");
const QString noDataLog = QStringLiteral("⚠️ 没有接收到数据");
const QString pageFetchedLog = QStringLiteral("✅ 获取登录页面成功，Cookie数量: ");
const QString noCookiesLog = QStringLiteral("⚠️ 获取登录页面失败或没有Cookie");
const QString loginSentLog = QStringLiteral("📤 发送登录请求到: ");
const QString bodyLog = QStringLiteral("📤 请求体: ");
const QString statusLog = QStringLiteral("📥 登录响应状态码: ");

const QString invalidLoginURLMessage = QStringLiteral("无效的登录URL");
const QString noHTTPResponseMessage = QStringLiteral("无效的服务器响应");
const QString noDataMessage = QStringLiteral("没有接收到响应数据");

QUrl parsedURL(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() ? url : QUrl();
}
} // namespace

LoginExchange::LoginExchange(const PortalEndpoints &endpoints, QNetworkCookieJar &cookieJar, QString username,
                             QString password, double durationScale, QObject *parent)
    : QObject(parent), m_endpoints(endpoints), m_cookieJar(cookieJar), m_username(std::move(username)),
      m_password(std::move(password)), m_durationScale(durationScale)
{
}

LoginExchange::~LoginExchange() = default;

void LoginExchange::start()
{
    startTimeoutTimer();
    fetchPage();
}

const RedirectProtectionDelegate *LoginExchange::redirectDelegate() const
{
    return m_currentTask ? &m_currentTask->redirectDelegate() : nullptr;
}

void LoginExchange::startTimeoutTimer()
{
    cancelTimeoutTimer();
    m_timeoutTimer = std::make_unique<QTimer>();
    m_timeoutTimer->setSingleShot(true);
    connect(m_timeoutTimer.get(), &QTimer::timeout, this, &LoginExchange::onTimeout);
    m_timeoutTimer->start(qRound(stepTimeoutMs * m_durationScale));
}

void LoginExchange::cancelTimeoutTimer()
{
    if (m_timeoutTimer) {
        m_timeoutTimer->stop();
        m_timeoutTimer.release()->deleteLater(); // it may be the one whose signal is being handled
    }
}

void LoginExchange::onTimeout()
{
    // The time-out's status is published before the cancelled request reports its own outcome.
    Q_EMIT timedOut();
    cancelTimeoutTimer();
    if (m_currentTask)
        m_currentTask->cancel();
}

PortalRequest *LoginExchange::newRequest()
{
    if (m_currentTask)
        m_currentTask->deleteLater(); // its completion may still be on the stack
    m_currentTask = new PortalRequest(m_cookieJar, m_endpoints.host, m_durationScale, this);
    return m_currentTask;
}

void LoginExchange::fetchPage()
{
    const QUrl url = parsedURL(m_endpoints.portalURL);
    if (url.isEmpty()) {
        continueWithLogin({});
        return;
    }
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", userAgent);
    request.setRawHeader("Accept", pageAccept);
    request.setRawHeader("Accept-Language", acceptLanguage);
    PortalRequest *task = newRequest();
    connect(task, &PortalRequest::finished, this, &LoginExchange::onPageFinished);
    task->get(request);
}

void LoginExchange::onPageFinished(const PortalResponse &response)
{
    cancelTimeoutTimer();
    const RedirectProtectionDelegate &guard = m_currentTask->redirectDelegate();
    if (guard.shouldBlock()) {
        const QString reason = guard.blockReason();
        Log::write(redirectBlockedLog + reason);
        Q_EMIT pageWarning(reason);
        continueWithLogin({});
        return;
    }
    if (response.error) {
        Q_EMIT pageWarning(VPNDetector::transportErrorMessage(VPNDetector::Step::PageFetch, *response.error));
        continueWithLogin({});
        return;
    }
    if (response.length == 0) {
        Log::write(noDataLog);
        continueWithLogin({});
        return;
    }
    if (response.oversized) {
        ResponseLimits::logOversized(response.length);
        Q_EMIT pageWarning(ResponseLimits::oversizedMessage);
        continueWithLogin({});
        return;
    }
    // A page whose leading bytes are not UTF-8 is not examined and counts as the portal's.
    const std::optional<QString> leadingText =
        ResponseLimits::decodeLeading(response.body, ResponseLimits::pageSniffLength);
    if (leadingText && !VPNDetector::isExpectedPage(*leadingText)) {
        Q_EMIT pageWarning(VPNDetector::unexpectedPageMessage);
        continueWithLogin({});
        return;
    }
    if (!response.statusCode) {
        Log::write(noCookiesLog);
        continueWithLogin({});
        return;
    }
    const QList<QNetworkCookie> cookies = pageCookies(response);
    Log::write(pageFetchedLog + QString::number(cookies.size()));
    continueWithLogin(cookies);
}

QList<QNetworkCookie> LoginExchange::pageCookies(const PortalResponse &response) const
{
    const QUrl pageURL(m_endpoints.portalURL);
    QList<QNetworkCookie> cookies;
    for (const auto &[name, value] : response.headers) {
        if (name.toLower() != setCookieHeader)
            continue;
        for (QNetworkCookie cookie : QNetworkCookie::parseCookies(value)) {
            cookie.normalize(pageURL);
            cookies.append(cookie);
        }
    }
    return cookies;
}

void LoginExchange::continueWithLogin(const QList<QNetworkCookie> &cookies)
{
    startTimeoutTimer();
    sendLogin(cookies);
}

void LoginExchange::sendLogin(const QList<QNetworkCookie> &cookies)
{
    const QUrl url = parsedURL(m_endpoints.loginURL);
    if (url.isEmpty()) {
        finish({false, invalidLoginURLMessage});
        return;
    }
    QNetworkRequest request(url);
    request.setRawHeader("Content-Type", formContentType);
    request.setRawHeader("User-Agent", userAgent);
    request.setRawHeader("Accept", loginAccept);
    request.setRawHeader("Accept-Language", acceptLanguage);
    request.setRawHeader("Referer", m_endpoints.portalURL.toUtf8());
    request.setRawHeader("X-Requested-With", ajaxMarker);
    request.setRawHeader("Origin", m_endpoints.baseURL.toUtf8());

    // No Cookie header of our own: the session sends the jar's cookies for the login URL.
    m_cookieJar.setCookiesFromUrl(cookies, QUrl(m_endpoints.portalURL));
    QNetworkCookie loginInfo(loginInfoCookieName, loginInfoCookieValue);
    loginInfo.setDomain(m_endpoints.host);
    loginInfo.setPath(QStringLiteral("/"));
    m_cookieJar.insertCookie(loginInfo);

    const LoginForm form(m_username, m_password);
    Log::write(loginSentLog + m_endpoints.loginURL);
    Log::write(bodyLog + form.maskedBody());

    PortalRequest *task = newRequest();
    connect(task, &PortalRequest::finished, this, &LoginExchange::onLoginFinished);
    task->post(request, form.body());
}

void LoginExchange::onLoginFinished(const PortalResponse &response)
{
    const RedirectProtectionDelegate &guard = m_currentTask->redirectDelegate();
    if (guard.shouldBlock()) {
        const QString reason = guard.blockReason();
        Log::write(redirectBlockedLog + reason);
        finish({false, reason});
        return;
    }
    if (response.error) {
        finish({false, VPNDetector::transportErrorMessage(VPNDetector::Step::LoginRequest, *response.error)});
        return;
    }
    if (!response.statusCode) {
        finish({false, noHTTPResponseMessage});
        return;
    }
    Log::write(statusLog + QString::number(*response.statusCode));
    if (response.length == 0) {
        finish({false, noDataMessage});
        return;
    }
    if (response.oversized) {
        ResponseLimits::logOversized(response.length);
        finish({false, ResponseLimits::oversizedMessage});
        return;
    }
    const std::optional<QString> text = ResponseLimits::loginResponseText(response.body);
    if (!text) {
        finish({false, ResponseLimits::undecodableMessage});
        return;
    }
    if (const std::optional<QString> problem = VPNDetector::loginResponseProblem(*text)) {
        finish({false, *problem});
        return;
    }
    finish(PortalAnswerParser::parse(*text, *response.statusCode));
}

void LoginExchange::finish(const LoginOutcome &outcome)
{
    cancelTimeoutTimer();
    Q_EMIT finished(outcome);
}
