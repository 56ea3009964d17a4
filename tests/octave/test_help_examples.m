% The example in every function's help text runs as printed and displays
% what the help text says it does.
check_help_example ('pallant');
check_help_example ('kestrow');
check_help_example ('modrick');
% ncsegment's example writes its picture into the current folder: a
% scratch one.
addpath (fullfile (fileparts (mfilename ('fullpath')), '..', '..', 'toolbox'));
scratch = tempname ();
mkdir (scratch);
here = pwd ();
cd (scratch);
check_help_example ('ncsegment');
check_help_example ('rwmatte');
cd (here);
confirm_recursive_rmdir (false);
rmdir (scratch, 's');
