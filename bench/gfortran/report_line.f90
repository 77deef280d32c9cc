! Times N records of WRITE (1X,I6,3F12.4,2X,E12.5) to a file, the same statement and values as
! BM_WriteReportLine in bench_formatted_output.cpp, and prints records per second (CPU and wall).
program report_line
  implicit none
  integer, parameter :: dp = kind(1.0d0), n_values = 64, records_per_file = 100000
  integer :: n_records, i, unit_no, clock_start, clock_end, clock_rate
  real(dp) :: values(0:n_values - 1), cpu_start, cpu_end
  character(len=32) :: argument

  n_records = 2000000
  if (command_argument_count() > 0) then
    call get_command_argument(1, argument)
    read (argument, *) n_records
  end if
  do i = 0, n_values - 1
    values(i) = (mod(i, 7) - 3) * 1234.56789_dp / (i + 1) + i * 0.125_dp
  end do

  call cpu_time(cpu_start)
  call system_clock(clock_start, clock_rate)
  open (newunit=unit_no, file='report.txt', status='replace', form='formatted')
  do i = 0, n_records - 1
    write (unit_no, '(1X,I6,3F12.4,2X,E12.5)') i, values(mod(i, n_values)), &
      values(mod(i + 1, n_values)), values(mod(i + 2, n_values)), &
      values(mod(i + 3, n_values)) * 1.0e-3_dp
    if (mod(i + 1, records_per_file) == 0) then
      close (unit_no)
      open (newunit=unit_no, file='report.txt', status='replace', form='formatted')
    end if
  end do
  close (unit_no, status='delete')
  call system_clock(clock_end)
  call cpu_time(cpu_end)

  print '(A,I0,A)', 'records: ', n_records, ' of (1X,I6,3F12.4,2X,E12.5)'
  print '(A,F12.0)', 'records/s (CPU time): ', n_records / (cpu_end - cpu_start)
  print '(A,F12.0)', 'records/s (wall time):', &
    n_records / (real(clock_end - clock_start, dp) / clock_rate)
end program report_line
