#pragma once

class GlobalShortcutsManager;

/// The tray application's part of the composition root: the instances that need Qt Gui or the X
/// server, which netlatchctl never creates. Each is created on first use and lives until the process ends.
namespace GuiServices {

/// The global shortcuts manager over X11 key grabs and Qt's key events; its creation registers the
/// stored shortcuts. Call after the QApplication exists.
GlobalShortcutsManager &globalShortcutsManager();

} // namespace GuiServices
