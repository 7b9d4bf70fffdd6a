#pragma once

#include <QSize>
#include <QWidget>

#include <functional>
#include <vector>

class TestAppContext;

/// One screen the screenshot tool renders: its file name, its size and how to build it over the test
/// context (fakes and a local portal on loopback, never the real services).
struct NamedScreen
{
    QString name;
    QSize size;
    std::function<QWidget *(TestAppContext &)> make;
    /// What is grabbed once the screen has settled: the screen itself when empty, or a part of it
    /// (an alert it opened).
    std::function<QWidget *(QWidget *)> target = {};
};

/// Every screen and page of the program, in the order a user meets them.
std::vector<NamedScreen> screenTable();
