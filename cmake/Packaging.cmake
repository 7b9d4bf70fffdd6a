# The Debian package `netlatch`, made by CPack from the install tree: `cpack --preset package`
# (scripts/package.sh). dpkg-shlibdeps finds the libraries the programs and the desktop plugin link;
# Depends and Recommends below add what the tray application loads at run time where dpkg-shlibdeps
# cannot see it.
set(NETLATCH_PACKAGE_MAINTAINER "Netlatch maintainers <maintainers@netlatch.app>" CACHE STRING
    "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME netlatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Netlatch maintainers")
set(CPACK_PACKAGE_CONTACT "${NETLATCH_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "signs the computer into a campus network's captive portal")
set(CPACK_PACKAGE_DESCRIPTION [=[
On a campus network a computer has no internet access until someone signs in
on the portal's web page. Netlatch keeps the campus account in the desktop's
keyring (Secret Service) and performs the portal's sign-in itself.
]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://netlatch.app")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The account lives in whichever Secret Service the desktop runs.
set(recommends "gnome-keyring | libkf5wallet-bin | keepassxc")
set(depends)
if(TARGET netlatch)
    string(APPEND CPACK_PACKAGE_DESCRIPTION [=[

netlatch, the tray application, signs in from its menu, with a global
shortcut, or by itself after the computer wakes, the screen is unlocked or it
joins a campus Wi-Fi network while the internet is unreachable. It recognises
a VPN that rewrites the portal traffic, and keeps a history of sign-ins with
statistics.
]=])
    # Qt loads the SVG icon plugins and finds fonts at run time: without a CJK font every text of
    # the application would show as boxes.
    list(APPEND depends "libqt6svg6" "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei")
    string(APPEND recommends ", qt6-wayland, qt6-translations-l10n")
endif()
string(APPEND CPACK_PACKAGE_DESCRIPTION [=[

netlatchctl is the command line for the same sign-in, the stored account,
the network status and the statistics; `netlatchctl daemon` runs automatic
sign-in without the tray application, as the systemd user unit
netlatch.service.
]=])
list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${recommends}")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsecret-tools")

include(CPack)
