#!/usr/bin/env bash
# FTP over TLS benchmark: the transfer benchmark (bench/transfer/run.sh) with every transfer
# encrypted, ours (ftpes://) against curl --ssl-reqd in the same run: ftps_download_vs_curl,
# ftps_upload_vs_curl (and the slowest run's upload ratio). vsftpd as root requires the data
# connections to resume the control connection's TLS session, as servers commonly do.
#
# run.sh BUILD_DIR
set -euo pipefail
VESTRIGAL_BENCH_TLS=1 exec bash "$(dirname "${BASH_SOURCE[0]}")/../transfer/run.sh" "$@"
