# The Debian packages the build needs; sourced by the set-up commands.
MARROWEN_PACKAGES="g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libicu-dev"

install_missing_packages() {
    missing=""
    for p in $MARROWEN_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        SUDO=""
        [ "$(id -u)" -eq 0 ] || SUDO="sudo"
        $SUDO apt-get update
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
    fi
}
