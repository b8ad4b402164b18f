" Scrivlock's commands in Vim on the current file, with their messages in the
" quickfix list. Put this file in ~/.vim/plugin/ (or source it from your vimrc):
"   :ScrivlockUncomment   take the comments out of the current unit
"   :ScrivlockRecomment   put them back
" The buffer is written first and read again afterwards. A message such as
"   Greeter.pas(12,5) Error: marker {#4} does not match entry 5 of Unit1.pas
" becomes a quickfix entry: :copen, then <Enter> on it.
function! s:Scrivlock(command) abort
  update
  let l:errorformat = &l:errorformat
  let &l:errorformat = '%f(%l\,%c) %t%*[a-zA-Z]: %m,%-G%.%#'
  let l:dir = expand('%:p:h')
  let l:output = systemlist('cd ' . shellescape(l:dir) . ' && scrivlock ' . a:command . ' '
        \ . shellescape(expand('%:p')) . ' 2>&1')
  execute 'lcd ' . fnameescape(l:dir)
  cgetexpr l:output
  let &l:errorformat = l:errorformat
  checktime
  echo join(l:output, ' | ')
  if v:shell_error != 0 | copen | endif
endfunction
command! ScrivlockUncomment call s:Scrivlock('uncomment')
command! ScrivlockRecomment call s:Scrivlock('recomment')
