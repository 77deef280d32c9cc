! Writes tests/data/unformatted/records.bin: a sequential unformatted file as gfortran writes it
! (each record framed by a 4-byte little-endian length before and after the data).
! Records, in order:
!   1  INTEGER(4) 7, REAL(8) 2.5                                     12 bytes
!   2  'ab' // CHAR(0) // 'cd' // CHAR(0)                            6 bytes
!   3  INTEGER(2) -2, INTEGER(4) 100000, REAL(4) 1.5                 10 bytes
!   4  (empty record)                                                0 bytes
!   5  COMPLEX(4) (1.0, -2.0), COMPLEX(8) (3.0, 4.0)                 24 bytes
!   6  INTEGER(4) 3*k for k = 1 .. 2500                              10000 bytes
!   7  INTEGER(4) -k for k = 1 .. 25                                 100 bytes
!   8  'R', INTEGER(4) 42                                            5 bytes
program records
  implicit none
  integer :: k, unit

  open (newunit=unit, file='records.bin', form='unformatted', access='sequential', &
        status='replace', action='write')
  write (unit) 7_4, 2.5_8
  write (unit) 'ab' // char(0) // 'cd' // char(0)
  write (unit) -2_2, 100000_4, 1.5_4
  write (unit)
  write (unit) (1.0_4, -2.0_4), (3.0_8, 4.0_8)
  write (unit) (3 * k, k = 1, 2500)
  write (unit) (-k, k = 1, 25)
  write (unit) 'R', 42_4
  close (unit)
end program
