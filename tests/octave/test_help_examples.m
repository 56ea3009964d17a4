% The example in every function's help text runs as printed and displays
% what the help text says it does.
check_help_example ('pallant');
check_help_example ('kestrow');
check_help_example ('modrick');
