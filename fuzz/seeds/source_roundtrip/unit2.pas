s := '{#1}'; { it's } (*$HPPEMIT 'x' *) {$I a // b}
c (* never closed {#2}