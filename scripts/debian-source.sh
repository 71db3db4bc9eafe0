# Sourced by the scripts that build a dependency from Debian's own source package.

# Unpacks the source package PACKAGE (with Debian's patches) into FOLDER and prints the
# folder it made. Source packages come from the machine's own Debian entries, copied once
# as deb-src entries, which needs root.
unpack_debian_source() {
  local package=$1 folder=$2
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
    ! grep -qs '^deb-src' /etc/apt/sources.list; then
    [ "$(id -u)" = 0 ] || { echo "$package: no deb-src entries; run once as root" >&2; return 1; }
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      >/etc/apt/sources.list.d/debian-src.sources
    apt-get update -q >/dev/null
  fi
  mkdir -p "$folder"
  (cd "$folder" && apt-get source -q "$package" >apt-source.log 2>&1) ||
    { cat "$folder/apt-source.log" >&2; return 1; }
  find "$folder" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1
}
