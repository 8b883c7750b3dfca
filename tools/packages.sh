# The Debian packages the build needs, and how many compilers and tests run
# at once; sourced by the set-up commands.
MARROWEN_PACKAGES="g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libicu-dev qt6-base-dev qt6-declarative-dev qt6-declarative-private-dev qt6-multimedia-dev qt6-wayland libqt6sql6-sqlite libqt6sql6-odbc libsqlite3-dev fonts-dejavu-core dbus python3 xvfb openbox xdotool x11-utils x11-xserver-utils clang libclang-rt-14-dev pkg-config libxcb1-dev"
# DejaVu shows Latin, Greek and Cyrillic letters; Chinese and Japanese text
# needs a font made for it, or the windows show it as empty boxes.
MARROWEN_PACKAGES="$MARROWEN_PACKAGES fonts-noto-cjk"

install_missing_packages() {
    missing=""
    for p in $MARROWEN_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "Installing the missing Debian packages:$missing" >&2
        SUDO=""
        [ "$(id -u)" -eq 0 ] || SUDO="sudo"
        # sudo clears the environment, so the variable goes through env; a
        # fresh machine has no package lists yet, hence the update.
        $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update
        $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
    fi
}

# MARROWEN_JOBS caps the compilers and tests that run at once (say 2 on a
# machine others share); every core by default.
MARROWEN_JOBS=${MARROWEN_JOBS:-$(nproc)}
case $MARROWEN_JOBS in
    '' | *[!0-9]* | 0)
        echo "MARROWEN_JOBS must be a number of jobs, 1 or more: $MARROWEN_JOBS" >&2
        exit 2
        ;;
esac
