! Writes reference cases for the bit intrinsics, computed by gfortran's own IBITS, ISHFTC,
! MVBITS, IBSET, IBCLR and BTEST on INTEGER(2) and INTEGER(4). One case per line:
!   ibits  <width> <value> <position> <length> <result>
!   ishftc <width> <value> <shift> <size> <result>
!   mvbits <width> <source> <source position> <length> <destination> <destination position> <result>
!   ibset / ibclr / btest <width> <value> <position> <result>
! Only arguments that Fortran defines are generated (fields within the width, |shift| <= size).
! IBITS of a whole INTEGER(4) (position 0, length 32) is left out: gfortran 12 builds its mask
! with a shift by the full width and returns 0 where the standard gives the value itself.
program bit_cases
  implicit none
  integer(2), parameter :: values16(4) = [integer(2) :: -32768, -1, 23130, -12346]
  integer(4), parameter :: values32(4) = [-2147483647 - 1, -1, 1515870810, 305419896]
  integer :: i, pos, len, shift, nbits
  integer(2) :: to16
  integer(4) :: to32

  do i = 1, 4
    do pos = 0, 15
      do len = 0, 16 - pos
        call line5('ibits', 16, int(values16(i)), pos, len, int(ibits(values16(i), pos, len)))
      end do
      call line4('ibset', 16, int(values16(i)), pos, int(ibset(values16(i), pos)))
      call line4('ibclr', 16, int(values16(i)), pos, int(ibclr(values16(i), pos)))
      call line4('btest', 16, int(values16(i)), pos, merge(1, 0, btest(values16(i), pos)))
    end do
    do nbits = 1, 16
      do shift = -nbits, nbits
        call line5('ishftc', 16, int(values16(i)), shift, nbits, &
                   int(ishftc(values16(i), shift, nbits)))
      end do
    end do
  end do

  do i = 1, 4
    do pos = 0, 31, 3
      do len = 0, min(32 - pos, 31)
        call line5('ibits', 32, values32(i), pos, len, ibits(values32(i), pos, len))
      end do
    end do
    do pos = 0, 31
      call line4('ibset', 32, values32(i), pos, ibset(values32(i), pos))
      call line4('ibclr', 32, values32(i), pos, ibclr(values32(i), pos))
      call line4('btest', 32, values32(i), pos, merge(1, 0, btest(values32(i), pos)))
    end do
    do nbits = 1, 32
      if (nbits > 5 .and. mod(nbits, 4) /= 0 .and. nbits /= 31) cycle
      do shift = -nbits, nbits
        call line5('ishftc', 32, values32(i), shift, nbits, ishftc(values32(i), shift, nbits))
      end do
    end do
  end do

  do pos = 0, 15, 5
    do len = 1, 16 - pos, 4
      to16 = int(-21846, 2)
      call mvbits(values16(4), pos, len, to16, 16 - len)
      write (*, '(A,7(1X,I0))') 'mvbits', 16, values16(4), pos, len, -21846, 16 - len, to16
      to32 = 1431655765
      call mvbits(values32(3), pos, len, to32, 32 - len)
      write (*, '(A,7(1X,I0))') 'mvbits', 32, values32(3), pos, len, 1431655765, 32 - len, to32
    end do
  end do

contains

  subroutine line5(op, width, value, a, b, result)
    character(*), intent(in) :: op
    integer, intent(in) :: width, value, a, b, result
    write (*, '(A,5(1X,I0))') op, width, value, a, b, result
  end subroutine

  subroutine line4(op, width, value, a, result)
    character(*), intent(in) :: op
    integer, intent(in) :: width, value, a, result
    write (*, '(A,4(1X,I0))') op, width, value, a, result
  end subroutine

end program
