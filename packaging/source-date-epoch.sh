# Sourced by the packaging scripts: sets and exports SOURCE_DATE_EPOCH, the
# one time that every time stamp of a release takes. A value already set
# wins; otherwise it is the last commit's time.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$(dirname "${BASH_SOURCE[0]}")" log -1 --format=%ct 2>/dev/null) || true
    if [ -z "$SOURCE_DATE_EPOCH" ]; then
        echo "Set SOURCE_DATE_EPOCH: there is no git history to take the release time from" >&2
        exit 1
    fi
fi
export SOURCE_DATE_EPOCH
