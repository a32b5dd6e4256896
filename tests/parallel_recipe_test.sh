#!/usr/bin/env bash
# The recipe for sharing a library among several machines, run as a user
# runs it: -list0 names the photo directories, and GNU parallel sends one
# Slidemill for each through SSH to two "machines", with the stand-in
# encoder. Both are this machine, reached through an SSH server the test
# starts on loopback with its own port, host key and login key; nothing of
# the machine's own SSH set-up is used or changed.
source "$(dirname "$0")/shell_checks.sh"
lib="$s/my photos" k="$s/ssh"
export SLIDEMILL_TEST_ENCODER_LOG="$s/records.txt"

mkdir -m 700 "$k"
for key in host login; do ssh-keygen -q -t ed25519 -N '' -f "$k/$key" </dev/null; done
echo "slidemill-test $(cat "$k/host.pub")" >"$k/known_hosts"
printf '%s\n' "ListenAddress 127.0.0.1" "HostKey $k/host" "AuthorizedKeysFile $k/login.pub" \
  "UsePAM no" "StrictModes no" "PasswordAuthentication no" >"$k/sshd_config"
printf '%s\n' "Host machine2 machine3" "HostName 127.0.0.1" "IdentityFile $k/login" "IdentitiesOnly yes" \
  "HostKeyAlias slidemill-test" "UserKnownHostsFile $k/known_hosts" "BatchMode yes" >"$k/config"
server=(/usr/sbin/sshd -D -f "$k/sshd_config" -E "$k/sshd.log")
# Run by root, sshd wants its privilege separation directory /run/sshd:
# here it gets one in a /run of its own, seen by it alone.
[ "$(id -u)" = 0 ] && server=(unshare --mount --propagation private sh -c \
  'mount -t tmpfs slidemill-test /run && mkdir -m 755 /run/sshd && exec "$@"' sh "${server[@]}")
pid=
trap '[ -n "$pid" ] && kill "$pid"; rm -rf "$s"' EXIT
# A free port is found by trying: a server that cannot listen ends at once.
for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000)) ssh="ssh -F $k/config -p $port"
  "${server[@]}" -p $port &
  pid=$!
  for _ in $(seq 50); do
    $ssh machine2 true </dev/null 2>/dev/null && break 2
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  kill "$pid" 2>/dev/null
  pid=
done
[ -n "$pid" ] || { fail "no SSH server on loopback: $(cat "$k/sshd.log")"; finish "parallel recipe"; }

# Names that the remote shell reads as its own unless each is quoted right;
# each directory's Slidemill encodes it alone, not the one inside it.
dirs=("$lib/day one" "$lib/day one/it's \"quoted\"" "$lib/\$HOME; x" "$lib/Москва – café 日本")
for d in "${dirs[@]}"; do mkdir -p "$d" && printf '\377\330\377' >"$d/p.jpg"; done
"$root/build/slidemill" -dir "$lib" -r -list0 </dev/null |
  parallel --will-cite -0 --ssh "$ssh" -S machine2,machine3 --env SLIDEMILL_TEST_ENCODER_LOG \
    "$root/build/slidemill" -dir {} -r-depth 0 -mencoder-path "$root/build/test_encoder" >"$s/out" 2>&1 ||
  fail "the recipe ended with status $?: $(cat "$s/out")"
[ "$(sed -n 's/^dir=//p' "$s/records.txt" | sort)" = "$(printf '%s\n' "${dirs[@]}" | sort)" ] ||
  fail "the encoder did not run once in each photo directory: $(grep '^dir=' "$s/records.txt")"

finish "parallel recipe"
